#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ConnectionSockets.h"
#include "platform/CurlHandles.h"
#include "platform/HostLimits.h"
#include "platform/HttpBodySink.h"
#include "platform/HttpError.h"
#include "platform/HttpSessionOptions.h"
#include "platform/HttpTarget.h"
#include "platform/HttpTransfer.h"
#include "platform/HttpValidators.h"
#include "platform/ProxyName.h"
#include "platform/TransferWatch.h"

namespace kivo::platform {

// Up to `connections` HTTP transfers in flight at once over one libcurl multi
// handle, without a thread of their own: they move on while the owner calls
// Wait. Each connection has one easy handle, reused for every transfer it
// carries, and libcurl keeps the connections themselves open between
// requests.
//
// Transfers fetched ahead of their turn never take the last free connection,
// so a transfer needed now always finds one without stopping another. Each
// host (HostLimits) starts with `connections` requests in flight; one that
// pushes back (a 429 or 503, a refused or failed connection, a transfer too
// slow or left waiting) gets fewer for the rest of the session, down to 1, and
// its Retry-After defers its next request. A request is left waiting when it
// has had no byte of its answer for the left-waiting time while its host
// answered other requests. It is never ended for that, since its server may
// only be slow and a request asked again would be asked twice; instead the
// host's idle connections are closed, as a server that serves one connection
// at a time never answers the others while one of ours stays open.
//
// Redirects (301, 302, 303, 307, 308 with a Location) are followed, at most
// kMaxRedirects hops and to http and https only; the sink sees only the final
// response. A server cannot hold a transfer for ever: once connected, each
// transfer is watched by a TransferWatch (a stall, a drip and a trickle fail
// it), and its head and trailers may not pass HttpTransfer::kMaxHeadBytes.
class HttpConnections {
 public:
  static constexpr int32_t kMaxRedirects = 10;

  // Returns nullptr when the proxy setting cannot be used or libcurl fails.
  static std::unique_ptr<HttpConnections> Open(const HttpSessionOptions& options,
                                               int32_t connections);

  class Key {
    friend class HttpConnections;
    Key() = default;
  };
  HttpConnections(Key key, CurlMulti multi, ProxyServers proxies, const HttpSessionOptions& options,
                  int32_t connections);
  HttpConnections(const HttpConnections&) = delete;
  HttpConnections& operator=(const HttpConnections&) = delete;
  ~HttpConnections();

  // Makes a GET of `path` (query and fragment included) from `host` ("name"
  // or "name:port") that delivers into `sink`, conditional on `validators`
  // (ConditionalHeaderLines leaves out those that cannot be sent); nullptr
  // when the host or path cannot be sent safely. It does not start yet.
  std::unique_ptr<HttpTransfer> Prepare(HttpScheme scheme, std::u16string_view host,
                                        std::u16string_view path, HttpBodySink& sink,
                                        const HttpValidators& validators = {});
  // True when a connection is free for another transfer in `role`: one fetched ahead leaves
  // the last free connection to the transfers needed now.
  bool HasFreeConnection(TransferRole role = TransferRole::Turn) const;
  // Starts `transfer` in `role` on a free connection. False when it may not start yet: no
  // connection is free for it, its host is deferred, or its host has as many requests in
  // flight as its role allows (Ahead: all but one of the host's limit, Turn: the limit, Alone:
  // none, and none beside a transfer Alone). A transfer that libcurl refuses is finished with
  // HttpError::Setup.
  bool Start(HttpTransfer& transfer, TransferRole role = TransferRole::Turn);
  // Makes a transfer fetched ahead one that is needed now.
  void Promote(HttpTransfer& transfer) { transfer.role_ = TransferRole::Turn; }
  // Ends a transfer that has not finished, with `error`, and frees its
  // connection, which is closed rather than left with an unread response.
  void Stop(HttpTransfer& transfer, HttpError error);
  // Moves every transfer on, waiting up to `wait` (at least a millisecond)
  // for network activity; the transfers' watches count only time spent
  // waiting here.
  void Wait(std::chrono::milliseconds wait);

 private:
  friend class HttpTransfer;

  bool MayStart(const std::string& origin, TransferRole role) const;
  bool Attach(HttpTransfer& transfer, int32_t slot, const std::string& url,
              const std::string* requestTarget, HttpScheme scheme);
  void Detach(HttpTransfer& transfer);
  void Perform();
  void Finish(HttpTransfer& transfer, CURLcode result);
  void End(HttpTransfer& transfer, HttpError error);
  void NotePushBack(const HttpTransfer& transfer);
  bool LeftWaiting(const HttpTransfer& transfer) const;
  void Relieve(HttpTransfer& transfer);
  int32_t Serving(const std::string& origin, bool answeringOnly) const;
  void FollowRedirect(HttpTransfer& transfer);
  void CheckWatches();
  std::chrono::milliseconds LongestWait(std::chrono::milliseconds wait) const;

  struct Slot {
    CurlEasy Easy;
    HttpTransfer* Transfer = nullptr;
  };

  // Declared before the multi handle, whose cleanup closes the sockets through it.
  ConnectionSockets sockets_;
  CurlMulti multi_;
  ProxyServers proxies_;
  uint32_t connectTimeoutMs_;
  uint32_t receiveTimeoutMs_;
  TransferWatch::Duration leftWaiting_;
  HostLimits hosts_;
  // The watches' clock: the time spent waiting in Wait so far.
  TransferWatch::Duration waited_{};
  std::vector<Slot> slots_;
};

}  // namespace kivo::platform
