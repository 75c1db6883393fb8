#include "ui/SaveFolderPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/ProgramFolder.h"
#include "ui/FolderField.h"
#include "ui/SheetControls.h"
#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo {

SaveFolderPage::SaveFolderPage(QWidget* parent)
    : SheetPage(parent),
      folder_(new FolderField(QStringLiteral("保存先"), this)),
      changeTest_(new QComboBox(this)) {
  const QString label = QStringLiteral("保存先(&S)");
  const QString changeLabel = QStringLiteral("判定方法(&J):");
  NameControl(changeTest_, "changeTestCombo", changeLabel);
  // In the order of the setting's numbers: 0, 1, 2.
  changeTest_->addItems({QStringLiteral("更新日時(Last-Modified)だけ"),
                         QStringLiteral("更新日時・ETagと内容のﾊﾞｲﾄ列"),
                         QStringLiteral("更新日時・ETagと表示される文章")});

  RegKey key;
  key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath);
  // Room for the longest folder, its final "/" and the terminator.
  const WideString stored = ReadStringSetting(key, Setting::SaveFolder, kMaxFolderChars + 2);
  const uint32_t changeTest = ReadDwordSetting(key, Setting::ChangeTest);
  key.Close();
  folder_->SetText(stored.IsEmpty() ? ToQString(platform::ProgramFolder())
                                    : ToQString(stored.View()));
  changeTest_->setCurrentIndex(static_cast<int>(std::min(changeTest, kMaxChangeTest)));

  // A new copy is stored only for a page that changed, so what counts as a
  // change sits beside where the copies go.
  auto* change = new QGroupBox(QStringLiteral("更新の判定"), this);
  NameControl(change, "changeTestFrame", change->title());
  changeTest_->setParent(change);
  auto* row = new QGridLayout(change);
  row->addWidget(MakeBuddyLabel(changeLabel, changeTest_, "changeTestLabel", change), 0, 0);
  row->addWidget(changeTest_, 0, 1);
  row->setColumnStretch(2, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(MakeBuddyLabel(label, folder_->Edit(), "saveFolderLabel", this));
  layout->addWidget(folder_);
  layout->addWidget(change);
  layout->addStretch(1);
}

bool SaveFolderPage::Check() {
  return folder_->Check();
}

bool SaveFolderPage::Apply() {
  RegKey key;
  bool stored = key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath);
  stored = WriteDwordSetting(key, Setting::ChangeTest,
                             static_cast<uint32_t>(changeTest_->currentIndex())) &&
           stored;
  if (const std::optional<WideString> folder = folder_->Folder()) {
    stored = WriteStringSetting(key, Setting::SaveFolder, folder->View()) && stored;
  }
  return key.Close() && stored;
}

}  // namespace kivo
