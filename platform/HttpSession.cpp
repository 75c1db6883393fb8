#include "platform/HttpSession.h"

#include <utility>

#include "platform/HttpRequest.h"

namespace kivo::platform {

std::unique_ptr<HttpSession> HttpSession::Open(const HttpSessionOptions& options) {
  if (!EnsureCurlGlobalInit()) {
    return nullptr;
  }
  ProxyServers proxies;
  if (options.UseProxy) {
    auto parsed = ParseProxyName(options.ProxyName);
    if (!parsed) {
      return nullptr;
    }
    proxies = std::move(*parsed);
  }
  CurlMulti multi(curl_multi_init());
  if (!multi) {
    return nullptr;
  }
  return std::make_unique<HttpSession>(Key(), std::move(multi), std::move(proxies), options);
}

HttpSession::HttpSession(Key /*key*/, CurlMulti multi, ProxyServers proxies,
                         const HttpSessionOptions& options)
    : multi_(std::move(multi)),
      proxies_(std::move(proxies)),
      connectTimeoutMs_(options.ConnectTimeoutMs),
      receiveTimeoutMs_(options.ReceiveTimeoutMs),
      shouldAbandon_(options.ShouldAbandon) {}

HttpSession::~HttpSession() = default;

std::unique_ptr<HttpRequest> HttpSession::OpenRequest(HttpScheme scheme, std::u16string_view host,
                                                      std::u16string_view path) {
  if (requestOpen_) {
    return nullptr;
  }
  auto authority = ParseAuthority(host);
  auto target = EncodeRequestTarget(path);
  if (!authority || !target) {
    return nullptr;
  }
  requestOpen_ = true;
  return std::make_unique<HttpRequest>(HttpRequest::Key(), *this, scheme, std::move(*authority),
                                       std::move(*target));
}

}  // namespace kivo::platform
