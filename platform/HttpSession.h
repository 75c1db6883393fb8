#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/CurlHandles.h"
#include "platform/HttpRequest.h"
#include "platform/HttpTarget.h"
#include "platform/ProxyName.h"

namespace kivo::platform {

// The agent string that every request carries.
inline constexpr char kHttpAgent[] = "Mozilla/4.0 (compatible; MSIE 4.01; Windows 98)";

struct HttpSessionOptions {
  bool UseProxy = false;
  std::u16string ProxyName;  // "host:port", "host" (port 80) or "http=host:port"
  // A time-out of 0 sets no limit of our own (connecting still ends after libcurl's default).
  uint32_t ConnectTimeoutMs = 20000;
  uint32_t ReceiveTimeoutMs = 20000;
  // Asked while a request waits for the network; a true result ends the request as failed
  // (HttpError::Abandoned). Empty: requests are never abandoned.
  std::function<bool()> ShouldAbandon;
};

// The root handle of all HTTP work: it carries the agent, the proxy or direct setting and the
// two time-outs, and keeps connections open between the requests made through it.
//
// A session serves one request at a time and one thread at a time. Every request must be
// destroyed before its session.
class HttpSession {
 public:
  // Returns nullptr when the session cannot be opened (e.g. UseProxy with an empty ProxyName).
  static std::unique_ptr<HttpSession> Open(const HttpSessionOptions& options);

  // Only Open constructs sessions; the key keeps the constructor out of other hands.
  class Key {
    friend class HttpSession;
    Key() = default;
  };
  HttpSession(Key key, CurlMulti multi, ProxyServers proxies, const HttpSessionOptions& options);
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;
  ~HttpSession();

  // Prepares a GET of `path` (query and fragment included) from `host` ("name" or "name:port").
  // Returns nullptr when the host or path cannot be sent safely, or another request of this
  // session is still open. Nothing goes over the network before HttpRequest::Send.
  std::unique_ptr<HttpRequest> OpenRequest(HttpScheme scheme, std::u16string_view host,
                                           std::u16string_view path);

  uint32_t ConnectTimeoutMs() const { return connectTimeoutMs_; }
  uint32_t ReceiveTimeoutMs() const { return receiveTimeoutMs_; }
  // True when the owner asks for the request in progress to be abandoned.
  bool ShouldAbandon() const { return shouldAbandon_ && shouldAbandon_(); }
  // The proxy URL for `scheme`, or the empty text for a direct connection.
  const std::string& ProxyFor(HttpScheme scheme) const { return proxies_.For(scheme); }

 private:
  friend class HttpRequest;

  CURLM* Multi() const { return multi_.get(); }
  void ReleaseRequest() { requestOpen_ = false; }

  CurlMulti multi_;
  ProxyServers proxies_;
  uint32_t connectTimeoutMs_;
  uint32_t receiveTimeoutMs_;
  std::function<bool()> shouldAbandon_;
  bool requestOpen_ = false;
};

}  // namespace kivo::platform

namespace kivo {
// The patrol code names the session without the platform prefix.
using platform::HttpSession;
using platform::HttpSessionOptions;
}  // namespace kivo
