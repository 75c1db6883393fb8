#include "ui/EntrySavePage.h"

#include <QCheckBox>
#include <QVBoxLayout>

#include "ui/FolderField.h"
#include "ui/SheetControls.h"
#include "urllist/UrlEntry.h"

namespace kivo {

EntrySavePage::EntrySavePage(UrlEntry& entry, QWidget* parent)
    : SheetPage(parent),
      entry_(entry),
      useOwnFolder_(new QCheckBox(QStringLiteral("個別ﾌｫﾙﾀﾞに保存(&E)"), this)),
      folder_(new FolderField(QStringLiteral("個別ﾌｫﾙﾀﾞ"), this)) {
  NameControl(useOwnFolder_, "useOwnFolderCheck", useOwnFolder_->text());
  useOwnFolder_->setChecked(entry.UseOwnFolder != 0);
  folder_->SetText(ToQString(entry.OwnFolder.View()));
  folder_->setEnabled(useOwnFolder_->isChecked());
  connect(useOwnFolder_, &QCheckBox::toggled, folder_, &FolderField::setEnabled);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(useOwnFolder_);
  layout->addWidget(folder_);
  layout->addStretch(1);
}

bool EntrySavePage::Check() {
  return !useOwnFolder_->isChecked() || folder_->Check();
}

bool EntrySavePage::Apply() {
  entry_.UseOwnFolder = useOwnFolder_->isChecked() ? 1 : 0;
  if (std::optional<WideString> folder = folder_->Folder()) {
    entry_.OwnFolder = std::move(*folder);
  }
  return true;
}

}  // namespace kivo
