#pragma once

#include <QString>

class QLineEdit;
class QWidget;
#include <string_view>

class QLabel;
class QWidget;

namespace kivo {

// Gives a control the object name that tests and scripts find it by, and
// the name a screen reader announces: its label's text without the mnemonic.
void NameControl(QWidget* control, const char* objectName, const QString& label);

// Shows `text` in `edit` whole, even when it is longer than the `maxChars`
// that a user may type there: a field that cut a stored value would write
// the cut value back on OK.
void SetWholeText(QLineEdit* edit, const QString& text, int maxChars);

// Returns a label's text without its mnemonic and final colon, as a screen
// reader should say it: "ﾀｲﾄﾙ(&T)" gives "ﾀｲﾄﾙ", "Proxy名(&P):" gives "Proxy名".
QString WithoutMnemonic(const QString& label);

// Makes a label whose mnemonic moves the focus to `buddy`, named like every
// other control.
QLabel* MakeBuddyLabel(const QString& text, QWidget* buddy, const char* objectName,
                       QWidget* parent);

// Views a QString's UTF-16 text, valid while the string lives unchanged.
std::u16string_view ToView(const QString& text);

// Copies UTF-16 text into a QString.
QString ToQString(std::u16string_view text);

}  // namespace kivo
