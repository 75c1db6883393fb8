#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/HttpTarget.h"

namespace kivo::platform {

// The proxy to use for each scheme; an empty text means a direct connection.
struct ProxyServers {
  std::string Http;   // "http://host:port"
  std::string Https;  // "http://host:port" (a tunnel through an HTTP proxy)

  const std::string& For(HttpScheme scheme) const {
    return scheme == HttpScheme::Https ? Https : Http;
  }
};

// Reads a proxy setting: "host:port", a bare "host" (port 80), or a list of entries separated
// by spaces or ';' in the "http=host:port" and "https=host:port" forms (the scheme in any case),
// where an entry without a scheme serves each scheme that has no entry of its own and entries for
// other schemes are ignored. An optional "http://" before a host is accepted. Gives nothing when
// no usable entry is found or an entry is malformed.
std::optional<ProxyServers> ParseProxyName(std::u16string_view proxyName);

}  // namespace kivo::platform
