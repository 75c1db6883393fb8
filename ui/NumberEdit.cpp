#include "ui/NumberEdit.h"

#include <QLineEdit>
#include <algorithm>

#include "ui/SheetControls.h"
#include "urllist/EditRules.h"

namespace kivo {

NumberEdit::NumberEdit(int64_t minimum, int64_t maximum, QWidget* parent)
    : QAbstractSpinBox(parent), minimum_(minimum), maximum_(maximum) {
  setAlignment(Qt::AlignRight);
  setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  setAccelerated(true);
}

void NumberEdit::SetText(const QString& text) {
  lineEdit()->setText(text);
}

void NumberEdit::stepBy(int steps) {
  const int64_t next = std::clamp<int64_t>(TypedNumber() + steps, minimum_, maximum_);
  SetText(QString::number(next));
  lineEdit()->selectAll();
}

QAbstractSpinBox::StepEnabled NumberEdit::stepEnabled() const {
  StepEnabled enabled = StepNone;
  const int64_t number = TypedNumber();
  if (number < maximum_) {
    enabled |= StepUpEnabled;
  }
  if (number > minimum_) {
    enabled |= StepDownEnabled;
  }
  return enabled;
}

int64_t NumberEdit::TypedNumber() const {
  return ParseUnsignedDecimal(ToView(text())).value_or(0);
}

}  // namespace kivo
