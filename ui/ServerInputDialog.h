#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace kivo {

// The dialog "URL入力": edits one server prefix of an entry, at most 1023
// characters, with OK and Cancel.
class ServerInputDialog : public QDialog {
  Q_OBJECT

 public:
  ServerInputDialog(const QString& text, QWidget* parent);

  // The text as it stands in the field.
  QString Text() const;

 private:
  QLineEdit* edit_;
};

}  // namespace kivo
