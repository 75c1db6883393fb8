#include "platform/HttpTarget.h"

#include "platform/AnsiConversion.h"
#include "platform/HttpText.h"
#include "support/Decimal.h"

namespace kivo::platform {
namespace {

constexpr int32_t kMaxPort = 65535;

bool IsHostNameChar(char16_t ch) {
  return (ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') || (ch >= u'0' && ch <= u'9') ||
         ch == u'-' || ch == u'.' || ch == u'_';
}

bool IsIpv6Char(char16_t ch) {
  return (ch >= u'a' && ch <= u'f') || (ch >= u'A' && ch <= u'F') || (ch >= u'0' && ch <= u'9') ||
         ch == u':' || ch == u'.';
}

std::optional<uint16_t> ParsePort(std::u16string_view text) {
  if (text.empty() || text.size() > 5) {
    return std::nullopt;
  }
  const std::optional<uint64_t> value = ParseDecimalDigits(text);
  if (!value || *value < 1 || *value > kMaxPort) {
    return std::nullopt;
  }
  return static_cast<uint16_t>(*value);
}

std::string Narrow(std::u16string_view ascii) {
  std::string out;
  out.reserve(ascii.size());
  for (char16_t ch : ascii) {
    out.push_back(static_cast<char>(ch));
  }
  return out;
}

bool NeedsEscape(unsigned char byte) {
  switch (byte) {
    case ' ':
    case '"':
    case '<':
    case '>':
    case '`':
    case '{':
    case '}':
      return true;
    default:
      return byte >= 0x80;
  }
}

}  // namespace

std::optional<HttpAuthority> ParseAuthority(std::u16string_view text) {
  std::u16string_view host = text;
  std::u16string_view portText;
  bool hasPort = false;
  if (!text.empty() && text.front() == u'[') {
    const size_t close = text.find(u']');
    if (close == std::u16string_view::npos || close < 2) {
      return std::nullopt;
    }
    host = text.substr(0, close + 1);
    for (char16_t ch : host.substr(1, host.size() - 2)) {
      if (!IsIpv6Char(ch)) {
        return std::nullopt;
      }
    }
    const std::u16string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != u':') {
        return std::nullopt;
      }
      hasPort = true;
      portText = rest.substr(1);
    }
  } else {
    const size_t colon = text.find(u':');
    if (colon != std::u16string_view::npos) {
      host = text.substr(0, colon);
      portText = text.substr(colon + 1);
      hasPort = true;
    }
    if (host.empty()) {
      return std::nullopt;
    }
    for (char16_t ch : host) {
      if (!IsHostNameChar(ch)) {
        return std::nullopt;
      }
    }
  }
  HttpAuthority authority;
  authority.Host = Narrow(host);
  if (hasPort) {
    const auto port = ParsePort(portText);
    if (!port) {
      return std::nullopt;
    }
    authority.Port = *port;
  }
  return authority;
}

std::string OriginText(HttpScheme scheme, const HttpAuthority& authority) {
  std::string text = scheme == HttpScheme::Https ? "https://" : "http://";
  text += authority.Host;
  if (authority.Port != 0) {
    text += ':';
    text += std::to_string(authority.Port);
  }
  return text;
}

std::optional<std::string> EncodeRequestTarget(std::u16string_view path) {
  if (path.empty() || path.front() != u'/') {
    return std::nullopt;
  }
  for (char16_t ch : path) {
    if (ch < 0x20 || ch == 0x7F) {
      return std::nullopt;
    }
  }
  const std::string bytes = WideToAnsi(path);
  std::string target;
  target.reserve(bytes.size());
  for (char ch : bytes) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 0x20 || byte == 0x7F) {
      return std::nullopt;
    }
    if (NeedsEscape(byte)) {
      AppendPercentEscape(target, byte);
    } else {
      target += ch;
    }
  }
  return target;
}

}  // namespace kivo::platform
