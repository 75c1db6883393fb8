#include "platform/DurableWriteCalls.h"

#include <unistd.h>

#include <cstdio>

#include "platform/AtomicFile.h"
#include "platform/HostFile.h"

namespace kivo::platform {

const DurableWriteCalls& DurableWriteCalls::Host() {
  static const DurableWriteCalls kHost{
      &WriteAll,
      [](int fd) { return ::fsync(fd) == 0; },
      [](const std::string& from, const std::string& to) {
        return std::rename(from.c_str(), to.c_str()) == 0;
      },
      &SyncFolderOf,
  };
  return kHost;
}

}  // namespace kivo::platform
