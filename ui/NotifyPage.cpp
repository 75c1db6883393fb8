#include "ui/NotifyPage.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/SheetControls.h"
#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo {

NotifyPage::NotifyPage(QWidget* parent)
    : SheetPage(parent), notify_(new QCheckBox(QStringLiteral("更新をﾃﾞｽｸﾄｯﾌﾟに通知(&N)"), this)) {
  NameControl(notify_, "notifyCheck", notify_->text());
  RegKey key;
  key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath);
  notify_->setChecked(ReadDwordSetting(key, Setting::Notify) != 0);
  key.Close();

  auto* note =
      new QLabel(QStringLiteral("ｳｨﾝﾄﾞｳを見ていない間の巡回 (/Q や kivo-cli patrol --notify も) "
                                "でﾍﾟｰｼﾞが更新されたとき、1つの通知で知らせます。"),
                 this);
  note->setWordWrap(true);
  NameControl(note, "notifyNote", note->text());

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(notify_);
  layout->addWidget(note);
  layout->addStretch(1);
}

bool NotifyPage::Apply() {
  RegKey key;
  bool stored = key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath);
  stored = WriteDwordSetting(key, Setting::Notify, notify_->isChecked() ? 1 : 0) && stored;
  return key.Close() && stored;
}

}  // namespace kivo
