#pragma once

#include "ui/SheetPage.h"

class QCheckBox;

namespace kivo {

// The page "通知" of the options: whether a patrol that updated pages tells
// the desktop, when nobody may be looking at Kivo (the window is not active,
// /Q, or kivo-cli patrol --notify).
class NotifyPage : public SheetPage {
  Q_OBJECT

 public:
  // Shows the stored switch; any number but 0 counts as on.
  explicit NotifyPage(QWidget* parent);

  // Writes Notify as 1 or 0.
  bool Apply() override;

 private:
  QCheckBox* notify_;
};

}  // namespace kivo
