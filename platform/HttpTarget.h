#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivo::platform {

// The two schemes that requests may use.
enum class HttpScheme { Http, Https };

// The host and port of a request, checked so that they can stand in a URL.
struct HttpAuthority {
  std::string Host;   // a name, an IPv4 address or a bracketed IPv6 literal
  uint16_t Port = 0;  // 0 when the text names none: the scheme's default port applies
};

// Checks "host" or "host:port" for use in a URL: ASCII letters, digits, '-', '.' and '_', or a
// bracketed IPv6 literal, with an optional decimal port 1..65535. Anything else (user names,
// spaces, controls, non-ASCII, an empty host or port) gives nothing.
std::optional<HttpAuthority> ParseAuthority(std::u16string_view text);

// Formats "scheme://host[:port]" without a trailing slash.
std::string OriginText(HttpScheme scheme, const HttpAuthority& authority);

// Turns a request path (query and fragment included) into the bytes sent on the request line:
// the text in the ANSI code page, with space, '"', '<', '>', '`', '{', '}' and every byte of
// 0x80 and above percent-encoded. Gives nothing when the path is empty, does not start with '/',
// or holds CR, LF or another control character, which could split the request.
std::optional<std::string> EncodeRequestTarget(std::u16string_view path);

}  // namespace kivo::platform
