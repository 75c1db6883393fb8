#pragma once

#include <string>

namespace kivo {

// Appends `byte` to a URL's text as "%XX", in upper-case hex.
inline void AppendPercentEscape(std::u16string& out, unsigned char byte) {
  constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  out += {u'%', kDigits[byte >> 4], kDigits[byte & 0xF]};
}

}  // namespace kivo
