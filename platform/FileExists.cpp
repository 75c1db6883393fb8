#include "platform/FileExists.h"

#include "platform/HostFile.h"

namespace kivo {

bool FileExists(std::u16string_view path) {
  return platform::PathExists(path);
}

}  // namespace kivo
