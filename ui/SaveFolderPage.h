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

  // Writes SaveFolder: empty becomes the program folder, and a final "/" is
  // appended. The folder is neither checked nor created.
  void Apply() override;

 private:
  FolderField* folder_;
};

}  // namespace kivo
