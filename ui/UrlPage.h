#pragma once

#include "ui/SheetPage.h"

class QLineEdit;

namespace kivo {

class NumberEdit;
struct UrlEntry;

// The page "URL" of the entry sheet: the title, the address and the number
// of link levels to follow.
class UrlPage : public SheetPage {
  Q_OBJECT

 public:
  UrlPage(UrlEntry& entry, QWidget* parent);

  // Stores the title and address as typed, and the link count clamped to
  // 0..99 (a text that is not a number stores 0).
  bool Apply() override;

 private:
  UrlEntry& entry_;
  QLineEdit* title_;
  QLineEdit* url_;
  NumberEdit* linkLevel_;
};

}  // namespace kivo
