#include "cli/NoticeCommand.h"

#include "notify/NoticeWaiter.h"

namespace kivo {

void NotifyDesktop(const ChangeNotice& notice, const std::string& program) {
  if (!notice.IsEmpty() && NoticesWanted()) {
    NotifyInBackground(notice, program);
  }
}

std::optional<int> RunNoticeProcess(int argc, char** argv) {
  return RunNoticeWaiter(argc, argv);
}

}  // namespace kivo
