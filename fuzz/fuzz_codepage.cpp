// Checks that narrow bytes survive the trip through UTF-16 unchanged in every
// code page the program is likely to meet.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/AnsiConversion.h"
#include "platform/Utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  static const char* const kCodePages[] = {"CP932", "UTF-8", "EUC-JP"};
  ::setenv("KIVO_CODEPAGE", kCodePages[data[0] % 3], 1);
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::u16string text = kivo::DecodeAnsi(bytes);
  if (kivo::WideToAnsi(text) != bytes) {
    std::abort();
  }
  // In UTF-8 the program's own converters must agree with the code page: a
  // character beyond the first plane is one character, never escaped bytes.
  if (data[0] % 3 == 1 && (text != kivo::platform::Utf16FromUtf8(bytes) ||
                           kivo::platform::Utf8FromUtf16(text) != bytes)) {
    std::abort();
  }
  return 0;
}
