#include "ui/UrlPage.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "ui/NumberEdit.h"
#include "ui/SheetControls.h"
#include "urllist/EditRules.h"
#include "urllist/UrlEntry.h"

namespace kivo {

namespace {

// Every text field of the entry sheet takes at most this many characters.
constexpr int kMaxTextChars = 1023;

}  // namespace

UrlPage::UrlPage(UrlEntry& entry, QWidget* parent)
    : SheetPage(parent),
      entry_(entry),
      title_(new QLineEdit(this)),
      url_(new QLineEdit(this)),
      linkLevel_(new NumberEdit(kMinLinkLevel, kMaxLinkLevel, this)) {
  const QString titleLabel = QStringLiteral("ﾀｲﾄﾙ(&T)");
  const QString urlLabel = QStringLiteral("URL(&U)");
  const QString levelLabel = QStringLiteral("ﾘﾝｸを追う回数(&N)");
  NameControl(title_, "titleEdit", titleLabel);
  NameControl(url_, "urlEdit", urlLabel);
  NameControl(linkLevel_, "linkLevelEdit", levelLabel);
  linkLevel_->setFixedWidth(linkLevel_->fontMetrics().horizontalAdvance(QStringLiteral("0000")) +
                            48);

  SetWholeText(title_, ToQString(entry.Name.View()), kMaxTextChars);
  SetWholeText(url_, ToQString(entry.Url.View()), kMaxTextChars);
  linkLevel_->SetText(QString::number(entry.LinkLevel));

  auto* layout = new QGridLayout(this);
  layout->addWidget(MakeBuddyLabel(titleLabel, title_, "titleLabel", this), 0, 0);
  layout->addWidget(title_, 0, 1, 1, 2);
  layout->addWidget(MakeBuddyLabel(urlLabel, url_, "urlLabel", this), 1, 0);
  layout->addWidget(url_, 1, 1, 1, 2);
  layout->addWidget(MakeBuddyLabel(levelLabel, linkLevel_, "linkLevelLabel", this), 2, 0);
  layout->addWidget(linkLevel_, 2, 1);
  layout->setColumnStretch(2, 1);
  layout->setRowStretch(3, 1);
}

bool UrlPage::Apply() {
  entry_.Name.Assign(ToView(title_->text()));
  entry_.Url.Assign(ToView(url_->text()));
  entry_.LinkLevel = LinkLevelFromText(ToView(linkLevel_->text()));
  return true;
}

}  // namespace kivo
