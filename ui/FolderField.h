#pragma once

#include <QString>
#include <QWidget>
#include <optional>

#include "support/WideString.h"

class QLineEdit;
class QPushButton;

namespace kivo {

// A folder typed as text, with a "..." button beside it that opens the
// desktop's folder chooser and puts the chosen folder into the text. What it
// stores follows the same rule as kivo-cli's folders (NormaliseTypedFolder):
// a relative folder is taken from the working directory, so that the files
// never land wherever a later run happens to start.
class FolderField : public QWidget {
  Q_OBJECT

 public:
  // `accessibleName` names the text field for screen readers.
  FolderField(const QString& accessibleName, QWidget* parent);

  QLineEdit* Edit() const { return edit_; }
  QString Text() const;
  // Shows the stored folder `text`, whole however long it is.
  void SetText(const QString& text);

  // Returns the folder to store for the text; nothing when it would be too
  // long for the field to show again.
  std::optional<WideString> Folder() const;
  // True when the text can be stored; otherwise tells the user why, puts the
  // focus on the text and returns false.
  bool Check();

 private:
  void ChooseFolder();

  QLineEdit* edit_;
  QPushButton* browse_;
  QString shown_;  // the text SetText gave, as stored
};

}  // namespace kivo
