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

// Why a transfer is made, which decides when it may start (see HttpConnections::Start).
enum class TransferRole {
  Ahead,  // fetched before its turn, on the connections that its owner does not need now
  Turn,   // needed now
  Alone,  // needed now, with no other request to its host beside it
};

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
  // The status of the last response whose head arrived whole; 0 when none did.
  int32_t Status() const { return head_.Complete ? head_.Status : 0; }
  // True when another request to its host was in flight at some time beside it, so that a
  // server with a limit per client may have refused it for that.
  bool Concurrent() const { return concurrent_; }
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
  int socket_ = -1;       // that connection's socket, once it is known
  int32_t redirects_ = 0;
  bool finished_ = false;
  bool headTaken_ = false;    // the sink accepted the final response's head
  bool sinkStopped_ = false;  // the sink wanted no more
  bool redirecting_ = false;  // stopped at a redirect's head, to follow it
  bool responded_ = false;    // some of this hop's response has arrived
  bool concurrent_ = false;
  TransferRole role_ = TransferRole::Turn;
  // When this hop was given its connection, on the watches' clock, and how many responses its
  // host had answered by then.
  TransferWatch::Duration attachedAt_{};
  uint64_t answersAtAttach_ = 0;
  HttpError error_ = HttpError::None;
  TransferWatch watch_;
};

}  // namespace kivo::platform
