#include "ui/ConnectionPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <utility>

#include "dialup/EntryListing.h"
#include "support/Limits.h"
#include "ui/SheetControls.h"
#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo {

namespace {

// Both texts are read through buffers of 256 characters.
constexpr int32_t kReadChars = 256;

}  // namespace

ConnectionPage::ConnectionPage(std::shared_ptr<EntryListing> dialupEntries, QWidget* parent)
    : SheetPage(parent),
      dialupEntries_(std::move(dialupEntries)),
      dialup_(new QCheckBox(QStringLiteral("ﾀﾞｲﾔﾙｱｯﾌﾟ接続(&D)"), this)),
      entries_(new QComboBox(this)),
      useProxy_(new QCheckBox(QStringLiteral("Proxyを使う"), this)),
      proxyName_(new QLineEdit(this)) {
  proxyLabel_ = MakeBuddyLabel(QStringLiteral("Proxy名(&P):"), proxyName_, "proxyNameLabel", this);
  NameControl(dialup_, "dialupCheck", dialup_->text());
  NameControl(entries_, "dialupEntryCombo", QStringLiteral("ﾀﾞｲﾔﾙｱｯﾌﾟ接続先"));
  NameControl(useProxy_, "useProxyCheck", useProxy_->text());
  NameControl(proxyName_, "proxyNameEdit", proxyLabel_->text());
  entries_->setEditable(false);
  proxyName_->setMaxLength(kMaxProxyNameChars);

  RegKey key;
  key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath);
  dialup_->setChecked(ReadDwordSetting(key, Setting::DialupConnect) != 0);
  storedEntry_ = ToQString(ReadStringSetting(key, Setting::DialupEntry, kReadChars).View());
  useProxy_->setChecked(ReadDwordSetting(key, Setting::UseProxy) != 0);
  proxyLabel_->setEnabled(useProxy_->isChecked());
  proxyName_->setEnabled(useProxy_->isChecked());
  proxyName_->setText(ToQString(ReadStringSetting(key, Setting::ProxyName, kReadChars).View()));
  proxyName_->setCursorPosition(0);
  key.Close();

  connect(dialup_, &QCheckBox::toggled, entries_, &QComboBox::setEnabled);
  connect(useProxy_, &QCheckBox::toggled, proxyLabel_, &QLabel::setEnabled);
  connect(useProxy_, &QCheckBox::toggled, proxyName_, &QLineEdit::setEnabled);
  LayOut();

  if (dialupEntries_->IsFinished()) {
    ShowEntries();
    return;
  }
  // The service is still looking the entries up; the page stays usable
  // meanwhile, and dial-up waits for them.
  dialup_->setEnabled(false);
  entries_->setEnabled(false);
  connect(dialupEntries_.get(), &EntryListing::Finished, this, &ConnectionPage::ShowEntries);
}

bool ConnectionPage::Apply() {
  RegKey key;
  bool stored = key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath);
  // Before the entries arrived the user could not choose, so the stored
  // choice stands.
  if (dialupEntries_->IsFinished()) {
    stored = WriteDwordSetting(key, Setting::DialupConnect, dialup_->isChecked() ? 1 : 0) && stored;
    const QString entry = entries_->currentIndex() >= 0 ? entries_->currentText() : QString();
    stored =
        WriteStringSetting(key, Setting::DialupEntry, ToView(entry.left(kMaxDialupEntryChars))) &&
        stored;
  }
  stored = WriteDwordSetting(key, Setting::UseProxy, useProxy_->isChecked() ? 1 : 0) && stored;
  stored = WriteStringSetting(key, Setting::ProxyName, ToView(proxyName_->text())) && stored;
  return key.Close() && stored;
}

void ConnectionPage::LayOut() {
  auto* layout = new QGridLayout(this);
  layout->addWidget(dialup_, 0, 0, 1, 2);
  layout->addWidget(entries_, 1, 1);
  layout->setRowMinimumHeight(2, 12);
  layout->addWidget(useProxy_, 3, 0, 1, 2);
  layout->addWidget(proxyLabel_, 4, 0);
  layout->addWidget(proxyName_, 4, 1);
  layout->setColumnStretch(1, 1);
  layout->setColumnMinimumWidth(0, 24);
  layout->setRowStretch(5, 1);
}

void ConnectionPage::ShowEntries() {
  dialup_->setEnabled(true);
  entries_->setEnabled(dialup_->isChecked());
  FillEntries(dialupEntries_->Entries());
  SelectStoredEntry(storedEntry_);
  if (entries_->count() == 0) {
    // Nothing to dial: dial-up cannot be switched on.
    dialup_->setChecked(false);
    dialup_->setEnabled(false);
    entries_->setEnabled(false);
  }
}

void ConnectionPage::FillEntries(const QStringList& dialupEntries) {
  for (const QString& name : dialupEntries) {
    // Names beginning with a grave accent are the system's own entries.
    if (!name.startsWith(QLatin1Char('`'))) {
      entries_->addItem(name);
    }
  }
}

void ConnectionPage::SelectStoredEntry(const QString& stored) {
  const int count = entries_->count();
  if (stored.isEmpty()) {
    entries_->setCurrentIndex(count > 0 ? 0 : -1);
    return;
  }
  // An entry of exactly the stored name wins over the prefix search, which
  // would otherwise pick "Home2" over the chosen "Home" listed before it.
  for (int index = 0; index < count; ++index) {
    if (entries_->itemText(index).compare(stored, Qt::CaseInsensitive) == 0) {
      entries_->setCurrentIndex(index);
      return;
    }
  }
  for (int step = 1; step <= count; ++step) {
    const int index = step % count;
    if (entries_->itemText(index).startsWith(stored, Qt::CaseInsensitive)) {
      entries_->setCurrentIndex(index);
      return;
    }
  }
  entries_->setCurrentIndex(-1);
}

}  // namespace kivo
