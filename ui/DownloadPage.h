#pragma once

#include "ui/SheetPage.h"

class QCheckBox;

namespace kivo {

struct UrlEntry;

// The page "ﾀﾞｳﾝﾛｰﾄﾞ" of the entry sheet: whether a patrol also fetches the
// page's images.
class DownloadPage : public SheetPage {
  Q_OBJECT

 public:
  DownloadPage(UrlEntry& entry, QWidget* parent);

  // Stores the images switch as 1 or 0.
  bool Apply() override;

 private:
  UrlEntry& entry_;
  QCheckBox* getImages_;
};

}  // namespace kivo
