#pragma once

#include "ui/SheetPage.h"

class QComboBox;

namespace kivo {

class FolderField;

// The page "保存" of the options: the folder that receives the files of
// entries without a folder of their own, and what tells a patrol that a
// page is unchanged, which decides when a new copy is stored.
class SaveFolderPage : public SheetPage {
  Q_OBJECT

 public:
  // Shows the stored folder, or the program folder when none is stored.
  explicit SaveFolderPage(QWidget* parent);

  // Refuses a folder too long to be shown again.
  bool Check() override;
  // Writes ChangeTest, then SaveFolder: empty becomes the program folder, a
  // relative one is taken from the working directory, and a final "/" is
  // appended. The folder is neither checked for nor created.
  bool Apply() override;

 private:
  FolderField* folder_;
  QComboBox* changeTest_;
};

}  // namespace kivo
