#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CurlHandles.h"
#include "platform/HttpError.h"
#include "platform/HttpResponseHead.h"
#include "platform/HttpSessionOptions.h"
#include "platform/HttpTarget.h"
#include "platform/ProxyName.h"

namespace kivo::platform {

class HttpConnections;

// Where a transfer delivers its final response. Both calls come from inside
// HttpConnections::Wait, on the thread that waits.
class HttpBodySink {
 public:
  virtual ~HttpBodySink() = default;
  // Takes the headers of the final response (redirects are followed first);
  // false stops the transfer, because its body is not wanted.
  virtual bool OnHead(const HttpResponseHead& head) = 0;
  // Takes the next piece of the body; false stops the transfer.
  virtual bool OnBody(const uint8_t* data, size_t size) = 0;
};

// One GET that HttpConnections runs, side by side with others. Its owner
// keeps it until it has finished or been stopped; destroying it stops it.
class HttpTransfer {
 public:
  // True once it has ended, whole or not.
  bool Finished() const { return finished_; }
  // True once it has had a connection, or has ended without one.
  bool Started() const { return slot_ >= 0 || redirects_ > 0 || finished_; }
  // True when the final response's body went whole into the sink, which
  // accepted all of it.
  bool CompletedWhole() const;
  HttpError Error() const { return error_; }
  int32_t RedirectCount() const { return redirects_; }
  // The absolute URL of the final response, as it was requested.
  const std::string& FinalUrl() const { return currentUrl_; }

  // Only HttpConnections::Prepare makes transfers.
  class Key {
    friend class HttpConnections;
    Key() = default;
  };
  HttpTransfer(Key key, HttpConnections& owner, HttpScheme scheme, std::string origin,
               std::string target, HttpBodySink& sink);
  HttpTransfer(const HttpTransfer&) = delete;
  HttpTransfer& operator=(const HttpTransfer&) = delete;
  ~HttpTransfer();

 private:
  friend class HttpConnections;

  void Fail(HttpError error);

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static int OnConnected(void* self, char* remoteIp, char* localIp, int remotePort, int localPort);

  HttpConnections& owner_;
  HttpScheme scheme_;
  std::string origin_;
  std::string target_;
  std::string currentUrl_;
  HttpBodySink& sink_;
  HttpResponseHead head_;
  int32_t slot_ = -1;  // the connection it runs on, -1 when none
  int32_t redirects_ = 0;
  bool finished_ = false;
  bool headTaken_ = false;    // the sink accepted the final response's head
  bool sinkStopped_ = false;  // the sink wanted no more
  bool redirecting_ = false;  // stopped at a redirect's head, to follow it
  bool connected_ = false;
  HttpError error_ = HttpError::None;
  // Time spent waiting since the last data, and the minimum-rate window.
  std::chrono::steady_clock::duration idle_{};
  std::chrono::steady_clock::duration windowWaited_{};
  uint64_t windowBytes_ = 0;
};

// Up to `connections` HTTP transfers in flight at once over one libcurl multi
// handle, without a thread of their own: they move on while the owner calls
// Wait. Each connection has one easy handle, reused for every transfer it
// carries, and libcurl keeps the connections themselves open between
// requests. Never more than `connections` requests go to one host, since no
// more are ever in flight at all.
//
// Redirects (301, 302, 303, 307, 308 with a Location) are followed, at most
// kMaxRedirects hops and to http and https only; the sink sees only the final
// response. A server cannot hold a transfer for ever: once connected, it fails
// when no data comes for the receive time-out, and also when fewer than
// kMinBytesPerWindow bytes (headers and body alike) come over a whole receive
// time-out spent waiting.
class HttpConnections {
 public:
  static constexpr int32_t kMaxRedirects = 10;
  static constexpr uint64_t kMinBytesPerWindow = 1024;

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
  // or "name:port") that delivers into `sink`; nullptr when the host or path
  // cannot be sent safely. It does not start yet.
  std::unique_ptr<HttpTransfer> Prepare(HttpScheme scheme, std::u16string_view host,
                                        std::u16string_view path, HttpBodySink& sink);
  // True when a connection is free for another transfer.
  bool HasFreeConnection() const;
  // Starts `transfer` on a free connection. False when none is free; a
  // transfer that libcurl refuses is finished with HttpError::Setup.
  bool Start(HttpTransfer& transfer);
  // Ends a transfer that has not finished, with `error`, and frees its
  // connection, which is closed rather than left with an unread response.
  void Stop(HttpTransfer& transfer, HttpError error);
  // Moves every transfer on, waiting up to `wait` (at least a millisecond)
  // for network activity; receive time-outs and the minimum rate count only
  // time spent waiting here.
  void Wait(std::chrono::milliseconds wait);

 private:
  friend class HttpTransfer;

  bool Attach(HttpTransfer& transfer, int32_t slot, const std::string& url,
              const std::string* requestTarget, HttpScheme scheme);
  void Detach(HttpTransfer& transfer);
  void Perform();
  void Finish(HttpTransfer& transfer, CURLcode result);
  void FollowRedirect(HttpTransfer& transfer);
  void CountWaiting(std::chrono::steady_clock::duration waited);
  std::chrono::milliseconds LongestWait(std::chrono::milliseconds wait) const;

  struct Slot {
    CurlEasy Easy;
    HttpTransfer* Transfer = nullptr;
  };

  CurlMulti multi_;
  ProxyServers proxies_;
  uint32_t connectTimeoutMs_;
  uint32_t receiveTimeoutMs_;
  CurlSlist headers_;
  std::vector<Slot> slots_;
};

}  // namespace kivo::platform
