#include "ui/ServerInputDialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/SheetControls.h"

namespace kivo {

namespace {

constexpr int kMaxServerChars = 1023;

}  // namespace

ServerInputDialog::ServerInputDialog(const QString& text, QWidget* parent)
    : QDialog(parent), edit_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("URL入力"));
  setModal(true);
  NameControl(edit_, "serverEdit", QStringLiteral("URL"));
  edit_->setMaxLength(kMaxServerChars);
  edit_->setText(text);
  edit_->setMinimumWidth(360);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
  NameControl(ok, "okButton", ok->text());
  NameControl(cancel, "cancelButton", cancel->text());
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(edit_);
  layout->addWidget(buttons);
}

QString ServerInputDialog::Text() const {
  return edit_->text();
}

}  // namespace kivo
