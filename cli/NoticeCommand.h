#pragma once

#include <optional>
#include <string>

#include "changes/ChangeNotice.h"

namespace kivo {

// Tells the desktop of the entries a patrol updated, when the Notify
// setting lets it: one notice, shown from a process of `program` (kivo-cli's
// own executable) that stays to hear a click on it. Without a notification
// service nothing is shown and nothing is said. Builds without Qt show none.
void NotifyDesktop(const ChangeNotice& notice, const std::string& program);

// Runs the process that shows a notice when the arguments are its own, and
// returns its exit status; nothing otherwise. main() calls it first.
std::optional<int> RunNoticeProcess(int argc, char** argv);

}  // namespace kivo
