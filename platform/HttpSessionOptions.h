#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace kivo::platform {

// The agent string that every request carries.
inline constexpr char kHttpAgent[] = "Mozilla/4.0 (compatible; MSIE 4.01; Windows 98)";

// How a patrol's requests reach the web: directly or through a proxy, and how long they may
// wait.
struct HttpSessionOptions {
  bool UseProxy = false;
  std::u16string ProxyName;  // "host:port", "host" (port 80) or "http=host:port"
  // A time-out of 0 sets no limit of our own (connecting still ends after libcurl's default,
  // and a transfer still needs TransferWatch's minimum average rate).
  uint32_t ConnectTimeoutMs = 20000;
  uint32_t ReceiveTimeoutMs = 20000;
  // How long a request may wait for the first byte of its answer while its server answers
  // other connections before it counts as left waiting (HttpConnections); 0: a quarter of the
  // receive time-out, or kDefaultLeftWaitingMs without one.
  uint32_t LeftWaitingMs = 0;
};

inline constexpr uint32_t kDefaultLeftWaitingMs = 5000;

// Returns how long a request may wait for its answer while its server answers others.
inline std::chrono::milliseconds LeftWaitingTime(const HttpSessionOptions& options) {
  uint32_t ms = options.LeftWaitingMs;
  if (ms == 0) {
    ms = options.ReceiveTimeoutMs != 0 ? options.ReceiveTimeoutMs / 4 : kDefaultLeftWaitingMs;
  }
  return std::chrono::milliseconds(ms != 0 ? ms : 1);
}

}  // namespace kivo::platform

namespace kivo {
// The patrol code names the options without the platform prefix.
using platform::HttpSessionOptions;
}  // namespace kivo
