#include "ui/SaveFolderPage.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "platform/ProgramFolder.h"
#include "ui/FolderField.h"
#include "ui/SheetControls.h"
#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo {

SaveFolderPage::SaveFolderPage(QWidget* parent)
    : SheetPage(parent), folder_(new FolderField(QStringLiteral("保存先"), this)) {
  const QString label = QStringLiteral("保存先(&S)");

  RegKey key;
  key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath);
  // Room for the longest folder, its final "/" and the terminator.
  const WideString stored = ReadStringSetting(key, Setting::SaveFolder, kMaxFolderChars + 2);
  key.Close();
  folder_->SetText(stored.IsEmpty() ? ToQString(platform::ProgramFolder())
                                    : ToQString(stored.View()));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(MakeBuddyLabel(label, folder_->Edit(), "saveFolderLabel", this));
  layout->addWidget(folder_);
  layout->addStretch(1);
}

bool SaveFolderPage::Check() {
  return folder_->Check();
}

void SaveFolderPage::Apply() {
  const std::optional<WideString> folder = folder_->Folder();
  if (!folder) {
    return;
  }
  RegKey key;
  key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath);
  WriteStringSetting(key, Setting::SaveFolder, folder->View());
  key.Close();
}

}  // namespace kivo
