#pragma once

#include "ui/SheetPage.h"

namespace kivo {

class NumberEdit;

// The page "ﾀｲﾑｱｳﾄ" of the options: the connect and receive time-outs in
// seconds, and how many requests a patrol keeps in flight.
class TimeoutPage : public SheetPage {
  Q_OBJECT

 public:
  // Shows the stored time-outs as they are stored, even outside 10..600.
  explicit TimeoutPage(QWidget* parent);

  // Writes ConnectTimeout, then ReceiveTimeout, clamped to 10..600 (a text
  // that is not a number stores 10), then Connections, clamped to 1..16 (a
  // text that is not a number stores 1).
  bool Apply() override;

 private:
  NumberEdit* connect_;
  NumberEdit* receive_;
  NumberEdit* connections_;
};

}  // namespace kivo
