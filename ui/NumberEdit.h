#pragma once

#include <QAbstractSpinBox>
#include <cstdint>

namespace kivo {

// A right-aligned field for a decimal number with up and down arrows. Unlike
// a spin box it takes any text as typed, so that the page reading it decides
// what an odd text means; the arrows step within the given range.
class NumberEdit : public QAbstractSpinBox {
  Q_OBJECT

 public:
  NumberEdit(int64_t minimum, int64_t maximum, QWidget* parent);

  // Replaces the text, as if typed.
  void SetText(const QString& text);

  // Moves the number by `steps`, starting from the typed number (a text that
  // is not a number counts as 0) and ending within the range.
  void stepBy(int steps) override;

 protected:
  StepEnabled stepEnabled() const override;

 private:
  // The typed number, or 0 when the text is not an unsigned number.
  int64_t TypedNumber() const;

  int64_t minimum_;
  int64_t maximum_;
};

}  // namespace kivo
