#include "urllist/EditRules.h"

#include <algorithm>
#include <limits>

#include "platform/ProgramFolder.h"
#include "support/Decimal.h"

namespace kivo {

std::optional<uint32_t> ParseUnsignedDecimal(std::u16string_view text) {
  const size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string_view::npos) {
    return std::nullopt;
  }
  text = text.substr(first, text.find_last_not_of(u' ') - first + 1);
  const std::optional<uint64_t> value =
      ParseDecimalDigits(text, std::numeric_limits<uint32_t>::max());
  if (!value) {
    return std::nullopt;
  }
  return static_cast<uint32_t>(*value);
}

int32_t ClampLinkLevel(int64_t level) {
  return static_cast<int32_t>(std::clamp<int64_t>(level, kMinLinkLevel, kMaxLinkLevel));
}

int32_t LinkLevelFromText(std::u16string_view text) {
  return ClampLinkLevel(ParseUnsignedDecimal(text).value_or(0));
}

uint32_t ClampTimeoutSeconds(uint32_t seconds) {
  return std::clamp(seconds, kMinTimeoutSeconds, kMaxTimeoutSeconds);
}

uint32_t TimeoutFromText(std::u16string_view text) {
  return ClampTimeoutSeconds(ParseUnsignedDecimal(text).value_or(0));
}

uint32_t ClampConnections(uint32_t connections) {
  return std::clamp(connections, kMinConnections, kMaxConnections);
}

uint32_t ConnectionsFromText(std::u16string_view text) {
  return ClampConnections(ParseUnsignedDecimal(text).value_or(0));
}

WideString NormaliseFolder(std::u16string_view folder) {
  if (folder.empty()) {
    return WideString(platform::ProgramFolder());
  }
  WideString result(folder);
  if (folder.back() != u'/') {
    result.AppendChar(u'/');
  }
  return result;
}

std::optional<WideString> NormaliseTypedFolder(std::u16string_view typed) {
  if (typed.empty()) {
    return NormaliseFolder(typed);
  }
  const std::u16string absolute = platform::AbsolutePath(typed);
  if (absolute.size() > static_cast<size_t>(kMaxFolderChars)) {
    return std::nullopt;
  }
  return NormaliseFolder(absolute);
}

}  // namespace kivo
