#pragma once

#include "ui/PropertySheet.h"

class QWidget;

namespace kivo {

struct UrlEntry;

// The sheet "URLの設定" with the pages "URL", "ﾀﾞｳﾝﾛｰﾄﾞ", "ﾘﾝｸ" and "保存",
// editing `entry` in place on OK.
class UrlEntrySheet : public PropertySheet {
  Q_OBJECT

 public:
  UrlEntrySheet(UrlEntry& entry, QWidget* parent);
};

// Shows the modal sheet "URLの設定" for `entry` over `parent`. Returns true
// when the user closed it with OK, after every page that was opened has
// written its fields into `entry`; on Cancel the entry is left untouched.
bool EditUrlEntry(QWidget* parent, UrlEntry& entry);

}  // namespace kivo
