#pragma once

#include "ui/SheetPage.h"

namespace kivo {

class FolderField;

// The page "保存" of the options: the folder that receives the files of
// entries without a folder of their own.
class SaveFolderPage : public SheetPage {
  Q_OBJECT

 public:
  // Shows the stored folder, or the program folder when none is stored.
  explicit SaveFolderPage(QWidget* parent);

  // Refuses a folder too long to be shown again.
  bool Check() override;
  // Writes SaveFolder: empty becomes the program folder, a relative one is
  // taken from the working directory, and a final "/" is appended. The
  // folder is neither checked for nor created.
  void Apply() override;

 private:
  FolderField* folder_;
};

}  // namespace kivo
