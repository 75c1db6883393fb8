#include "ui/SheetControls.h"

#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStringView>
#include <algorithm>

namespace kivo {

void NameControl(QWidget* control, const char* objectName, const QString& label) {
  control->setObjectName(QString::fromLatin1(objectName));
  control->setAccessibleName(WithoutMnemonic(label));
}

QString WithoutMnemonic(const QString& label) {
  static const QRegularExpression kMnemonicInBrackets(QStringLiteral("\\(&.\\)"));
  QString text = label;
  text.remove(kMnemonicInBrackets);
  text.remove(QLatin1Char('&'));
  if (text.endsWith(QLatin1Char(':'))) {
    text.chop(1);
  }
  return text;
}

void SetWholeText(QLineEdit* edit, const QString& text, int maxChars) {
  edit->setMaxLength(std::max(maxChars, static_cast<int>(text.size())));
  edit->setText(text);
}

QLabel* MakeBuddyLabel(const QString& text, QWidget* buddy, const char* objectName,
                       QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  NameControl(label, objectName, text);
  return label;
}

std::u16string_view ToView(const QString& text) {
  const QStringView view(text);
  return std::u16string_view(view.utf16(), static_cast<size_t>(view.size()));
}

QString ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace kivo
