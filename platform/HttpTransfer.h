#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/CurlHandles.h"
#include "platform/HttpBodySink.h"
#include "platform/HttpError.h"
#include "platform/HttpResponseHead.h"
#include "platform/HttpTarget.h"
#include "platform/TransferWatch.h"

namespace kivo::platform {

class HttpConnections;

// One GET that HttpConnections runs, side by side with others. Its owner
// keeps it until it has finished or been stopped; destroying it stops it.
class HttpTransfer {
 public:
  // The most header and trailer bytes that one response may send (each hop of a redirect and
  // each informational response counting with the response it precedes); more fails the
  // transfer with HttpError::HeadTooLarge, so a head or trailer section that never ends cannot
  // hold it or fill the memory.
  static constexpr size_t kMaxHeadBytes = size_t{256} << 10;

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
  // `headers` are the request headers besides the agent, sent on every hop.
  HttpTransfer(Key key, HttpConnections& owner, HttpScheme scheme, std::string origin,
               std::string target, CurlSlist headers, HttpBodySink& sink);
  HttpTransfer(const HttpTransfer&) = delete;
  HttpTransfer& operator=(const HttpTransfer&) = delete;
  ~HttpTransfer();

 private:
  friend class HttpConnections;

  void Fail(HttpError error);
  // Makes it ready for a new hop on connection `slot`, watched with `watch`.
  void Reset(int32_t slot, TransferWatch watch);

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static int OnConnected(void* self, char* remoteIp, char* localIp, int remotePort, int localPort);

  HttpConnections& owner_;
  HttpScheme scheme_;
  std::string origin_;
  std::string target_;
  std::string currentUrl_;
  CurlSlist headers_;
  HttpBodySink& sink_;
  HttpResponseHead head_;
  size_t headBytes_ = 0;  // header and trailer bytes of this hop
  int32_t slot_ = -1;     // the connection it runs on, -1 when none
  int32_t redirects_ = 0;
  bool finished_ = false;
  bool headTaken_ = false;    // the sink accepted the final response's head
  bool sinkStopped_ = false;  // the sink wanted no more
  bool redirecting_ = false;  // stopped at a redirect's head, to follow it
  HttpError error_ = HttpError::None;
  TransferWatch watch_;
};

}  // namespace kivo::platform
