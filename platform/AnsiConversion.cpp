#include "platform/AnsiConversion.h"

#include <cstring>
#include <memory>

#include "platform/CodePage.h"

namespace kivo {
namespace {

// Opening iconv descriptors costs far more than converting one attribute
// value, so each thread keeps the converter for the current code page. The
// name is checked on every call so that a changed KIVO_CODEPAGE takes effect.
const platform::CodePage& ThreadCodePage() {
  thread_local std::unique_ptr<platform::CodePage> cached;
  const std::string name = platform::AnsiCodePageName();
  if (!cached || cached->Name() != name) {
    cached = std::make_unique<platform::CodePage>(name);
  }
  return *cached;
}

}  // namespace

std::u16string DecodeAnsi(std::string_view bytes) {
  return ThreadCodePage().Decode(bytes);
}

WideString AnsiToWide(const char* bytes, int64_t count) {
  if (bytes == nullptr || count == 0) {
    return WideString();
  }
  const size_t length = count < 0 ? std::strlen(bytes) : static_cast<size_t>(count);
  return WideString(DecodeAnsi(std::string_view(bytes, length)));
}

std::string WideToAnsi(std::u16string_view text) {
  return ThreadCodePage().Encode(text);
}

}  // namespace kivo
