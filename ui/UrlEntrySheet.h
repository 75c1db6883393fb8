#pragma once

class QWidget;

namespace kivo {

struct UrlEntry;

// Shows the modal sheet "URLの設定" for `entry` over `parent`. Returns true
// when the user closed it with OK, after every page that was opened has
// written its fields into `entry`; on Cancel the entry is left untouched.
bool EditUrlEntry(QWidget* parent, UrlEntry& entry);

}  // namespace kivo
