#pragma once

#include <memory>

#include "ui/PropertySheet.h"

class QWidget;

namespace kivo {

class EntryListing;

// The sheet "ｵﾌﾟｼｮﾝ" with the pages "接続", "ﾀｲﾑｱｳﾄ", "保存" and "通知"; each page reads
// the settings store when it is made and writes it on OK.
class OptionsSheet : public PropertySheet {
  Q_OBJECT

 public:
  OptionsSheet(const std::shared_ptr<EntryListing>& dialupEntries, QWidget* parent);
};

// Shows the modal sheet "ｵﾌﾟｼｮﾝ" over `parent`. `dialupEntries` are the
// dial-up entries the connection page offers, in the service's order (names
// beginning with "`" are left out by the page), which the page fills its
// list with when they arrive. OK stores the values of every
// page that was opened in the settings store; Cancel stores nothing.
void ShowOptionsSheet(QWidget* parent, const std::shared_ptr<EntryListing>& dialupEntries);

}  // namespace kivo
