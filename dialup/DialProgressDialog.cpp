#include "dialup/DialProgressDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kivo {

DialProgressDialog::DialProgressDialog(QWidget* parent)
    : QDialog(parent), status_(new QLabel(this)), cancel_(new QPushButton(this)) {
  status_->setObjectName(QStringLiteral("statusLabel"));
  status_->setAccessibleName(QStringLiteral(u"状態"));
  status_->setAlignment(Qt::AlignCenter);
  status_->setMinimumWidth(220);
  cancel_->setObjectName(QStringLiteral("cancelButton"));
  cancel_->setText(QStringLiteral(u"ｷｬﾝｾﾙ"));
  cancel_->setAccessibleName(QStringLiteral(u"ｷｬﾝｾﾙ"));
  cancel_->setAutoDefault(false);
  connect(cancel_, &QPushButton::clicked, this, &DialProgressDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel_);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(status_);
  layout->addLayout(buttons);
}

void DialProgressDialog::SetStatus(const QString& text) {
  status_->setText(text);
}

void DialProgressDialog::SetCancelEnabled(bool enabled) {
  cancel_->setEnabled(enabled);
}

void DialProgressDialog::reject() {
  if (cancel_->isEnabled()) {
    OnCancel();
  }
}

}  // namespace kivo
