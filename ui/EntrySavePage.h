#pragma once

#include "ui/SheetPage.h"

class QCheckBox;

namespace kivo {

class FolderField;
struct UrlEntry;

// The page "保存" of the entry sheet: whether the entry's files go to its own
// folder instead of the save folder, and that folder.
class EntrySavePage : public SheetPage {
  Q_OBJECT

 public:
  EntrySavePage(UrlEntry& entry, QWidget* parent);

  // Refuses a folder too long to be shown again while the switch is on.
  bool Check() override;
  // Stores the switch and the folder, the folder also while the switch is
  // off: empty becomes the program folder, a relative one is taken from the
  // working directory, and a final "/" is appended. A folder too long to
  // store, which only the switched-off field can hold, keeps the old one.
  bool Apply() override;

 private:
  UrlEntry& entry_;
  QCheckBox* useOwnFolder_;
  FolderField* folder_;
};

}  // namespace kivo
