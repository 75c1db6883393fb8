#include "platform/UniqueFd.h"

#include <unistd.h>

namespace kivo::platform {

bool UniqueFd::Reset(int fd) {
  bool ok = true;
  if (fd_ >= 0) {
    // Linux releases the descriptor even when close fails, so it is never retried.
    ok = ::close(fd_) == 0;
  }
  fd_ = fd;
  return ok;
}

}  // namespace kivo::platform
