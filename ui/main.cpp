#include <optional>

#include "notify/NoticeWaiter.h"
#include "ui/GuiApp.h"

int main(int argc, char** argv) {
  // kivo /P /Q shows its notice from a copy of itself, which needs no window.
  if (const std::optional<int> status = kivo::RunNoticeWaiter(argc, argv)) {
    return *status;
  }
  return kivo::RunGui(argc, argv);
}
