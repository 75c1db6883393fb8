#pragma once

#include <QString>
#include <QWidget>

class QLineEdit;
class QPushButton;

namespace kivo {

// A folder typed as text, with a "..." button beside it that opens the
// desktop's folder chooser and puts the chosen folder into the text.
class FolderField : public QWidget {
  Q_OBJECT

 public:
  // `accessibleName` names the text field for screen readers.
  FolderField(const QString& accessibleName, QWidget* parent);

  QLineEdit* Edit() const { return edit_; }
  QString Text() const;
  void SetText(const QString& text);

 private:
  void ChooseFolder();

  QLineEdit* edit_;
  QPushButton* browse_;
};

}  // namespace kivo
