// Feeds arbitrary text to the settings-file parser and checks that what it
// keeps is written in a form that parses cleanly back to the same keys and
// values.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/RegistryText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const kivo::platform::RegistryParseResult first = kivo::platform::ParseRegistryText(text);
  const std::string formatted = kivo::platform::FormatRegistryText(first.Document);
  const kivo::platform::RegistryParseResult second = kivo::platform::ParseRegistryText(formatted);
  if (!second.Clean || !(second.Document == first.Document) ||
      kivo::platform::FormatRegistryText(second.Document) != formatted) {
    std::abort();
  }
  return 0;
}
