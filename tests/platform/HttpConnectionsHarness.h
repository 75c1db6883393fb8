#pragma once

// What the tests of HttpConnections share: session options, a sink that keeps what it is
// given, and a fetch run to its end.

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "httpserver/TestHttpServer.h"
#include "platform/HttpConnections.h"

namespace kivo::platform {

// Never reached by a server that answers; the time-out tests use kShortMs.
inline constexpr uint32_t kPatientMs = 10000;
inline constexpr uint32_t kShortMs = 300;

inline HttpSessionOptions Timeouts(uint32_t ms) {
  HttpSessionOptions options;
  options.ConnectTimeoutMs = ms;
  options.ReceiveTimeoutMs = ms;
  return options;
}

inline HttpSessionOptions ViaProxy(const std::string& proxyName) {
  HttpSessionOptions options = Timeouts(kPatientMs);
  options.UseProxy = true;
  options.ProxyName = test::U16(proxyName);
  return options;
}

// Keeps the final response's head and body.
class RecordingSink : public HttpBodySink {
 public:
  bool OnHead(const HttpResponseHead& head) override {
    Head = head;
    ++Heads;
    return true;
  }
  bool OnBody(const uint8_t* data, size_t size) override {
    Body.append(reinterpret_cast<const char*>(data), size);
    return true;
  }

  std::optional<HttpResponseHead> Head;
  int Heads = 0;
  std::string Body;
};

// Makes a GET of `path` from `host` and runs it to its end; nullptr when it cannot be made.
inline std::unique_ptr<HttpTransfer> Fetch(HttpConnections& http, RecordingSink& sink,
                                           HttpScheme scheme, const std::string& host,
                                           const std::string& path,
                                           const HttpValidators& validators = {}) {
  auto transfer = http.Prepare(scheme, test::U16(host), test::U16(path), sink, validators);
  if (transfer != nullptr && http.Start(*transfer)) {
    while (!transfer->Finished()) {
      http.Wait(std::chrono::milliseconds(200));
    }
  }
  return transfer;
}

}  // namespace kivo::platform
