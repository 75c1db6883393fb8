#include "platform/ProxyName.h"

#include <vector>

#include "support/AsciiCase.h"

namespace kivo::platform {
namespace {

constexpr uint16_t kDefaultProxyPort = 80;

bool IsSeparator(char16_t ch) {
  return ch == u' ' || ch == u';' || ch == u'\t';
}

std::vector<std::u16string_view> SplitEntries(std::u16string_view text) {
  std::vector<std::u16string_view> entries;
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && IsSeparator(text[pos])) {
      ++pos;
    }
    const size_t start = pos;
    while (pos < text.size() && !IsSeparator(text[pos])) {
      ++pos;
    }
    if (pos > start) {
      entries.push_back(text.substr(start, pos - start));
    }
  }
  return entries;
}

std::optional<std::string> ProxyUrl(std::u16string_view server) {
  constexpr std::u16string_view kPrefix = u"http://";
  if (server.substr(0, kPrefix.size()) == kPrefix) {
    server.remove_prefix(kPrefix.size());
  }
  if (!server.empty() && server.back() == u'/') {
    server.remove_suffix(1);
  }
  auto authority = ParseAuthority(server);
  if (!authority) {
    return std::nullopt;
  }
  if (authority->Port == 0) {
    authority->Port = kDefaultProxyPort;
  }
  return OriginText(HttpScheme::Http, *authority);
}

}  // namespace

std::optional<ProxyServers> ParseProxyName(std::u16string_view proxyName) {
  // An entry for a scheme wins over a plain entry wherever they stand in the list; a plain
  // entry serves the schemes that have none. Scheme keys are read without regard to case.
  ProxyServers named;
  ProxyServers plain;
  for (std::u16string_view entry : SplitEntries(proxyName)) {
    const size_t equals = entry.find(u'=');
    const bool isPlain = equals == std::u16string_view::npos;
    const std::u16string_view scheme = isPlain ? std::u16string_view() : entry.substr(0, equals);
    const std::u16string_view server = isPlain ? entry : entry.substr(equals + 1);
    const bool forHttp = isPlain || EqualsNoCase(scheme, u"http");
    const bool forHttps = isPlain || EqualsNoCase(scheme, u"https");
    if (!forHttp && !forHttps) {
      continue;
    }
    const auto url = ProxyUrl(server);
    if (!url) {
      return std::nullopt;
    }
    ProxyServers& target = isPlain ? plain : named;
    if (forHttp && target.Http.empty()) {
      target.Http = *url;
    }
    if (forHttps && target.Https.empty()) {
      target.Https = *url;
    }
  }
  ProxyServers servers;
  servers.Http = named.Http.empty() ? plain.Http : named.Http;
  servers.Https = named.Https.empty() ? plain.Https : named.Https;
  if (servers.Http.empty() && servers.Https.empty()) {
    return std::nullopt;
  }
  return servers;
}

}  // namespace kivo::platform
