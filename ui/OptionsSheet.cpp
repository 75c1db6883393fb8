#include "ui/OptionsSheet.h"

namespace kivo {

// Placeholder until the options sheet is built: it stores nothing.
void ShowOptionsSheet(QWidget* /*parent*/, const QStringList& /*dialupEntries*/) {}

}  // namespace kivo
