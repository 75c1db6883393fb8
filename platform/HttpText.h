#pragma once

#include <string>
#include <string_view>

namespace kivo::platform {

// Strips the spaces and tabs around a header value, and the line end that
// libcurl leaves on a header line.
constexpr std::string_view TrimHeaderSpace(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

// Appends `byte` as a percent escape ("%XY", upper-case hex digits), the way
// both request targets and redirect locations escape what a URL cannot hold.
inline void AppendPercentEscape(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '%';
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

}  // namespace kivo::platform
