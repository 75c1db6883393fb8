#include "ui/UrlEntrySheet.h"

#include "urllist/UrlEntry.h"

namespace kivo {

// Placeholder until the entry sheet is built: it changes nothing.
bool EditUrlEntry(QWidget* /*parent*/, UrlEntry& /*entry*/) { return false; }

}  // namespace kivo
