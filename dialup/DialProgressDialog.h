#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace kivo {

// The small dialog that both the dial and the hang-up show: a title, a
// centred status line and a "ｷｬﾝｾﾙ" button. Escape and the window's close
// button act as Cancel, and only while Cancel is enabled.
class DialProgressDialog : public QDialog {
  Q_OBJECT

 public:
  explicit DialProgressDialog(QWidget* parent);

  // Shows `text` on the status line.
  void SetStatus(const QString& text);
  // Enables or disables the Cancel button.
  void SetCancelEnabled(bool enabled);

  void reject() override;

 protected:
  // Called when the user cancels while Cancel is enabled.
  virtual void OnCancel() = 0;

 private:
  QLabel* status_;
  QPushButton* cancel_;
};

}  // namespace kivo
