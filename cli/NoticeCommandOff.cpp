#include "cli/NoticeCommand.h"

namespace kivo {

// Without Qt there is no D-Bus to reach the notification service with.
void NotifyDesktop(const ChangeNotice& /*notice*/, const std::string& /*program*/) {}

std::optional<int> RunNoticeProcess(int /*argc*/, char** /*argv*/) {
  return std::nullopt;
}

}  // namespace kivo
