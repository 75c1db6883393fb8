#pragma once

#include <QWidget>

namespace kivo {

// One page of a property sheet. It reads its values when it is made, which
// is when the user first opens it, and writes them back only when the sheet
// is closed with OK.
class SheetPage : public QWidget {
 public:
  using QWidget::QWidget;

  // Checks the fields before any page writes; false, after telling the user
  // what is wrong and putting the focus there, keeps the sheet open.
  virtual bool Check() { return true; }
  // Writes the page's fields back, when the sheet ends with OK; false when
  // they could not be stored, which keeps the sheet open.
  virtual bool Apply() = 0;
};

}  // namespace kivo
