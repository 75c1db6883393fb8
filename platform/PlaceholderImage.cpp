#include "platform/PlaceholderImage.h"

#include <string_view>

#include "platform/AtomicFile.h"
#include "platform/HostFile.h"
#include "platform/PlaceholderImageData.h"
#include "platform/ProgramFolder.h"

namespace kivo::platform {

std::span<const unsigned char> PlaceholderImageBytes() {
  return kPlaceholderImageData;
}

std::u16string PlaceholderImagePath() {
  return ProgramFile(u"null.gif");
}

bool InstallPlaceholderImage() {
  const std::u16string path = PlaceholderImagePath();
  if (PathExists(path)) {
    return true;
  }
  const std::span<const unsigned char> bytes = PlaceholderImageBytes();
  return ReplaceFileAtomically(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace kivo::platform
