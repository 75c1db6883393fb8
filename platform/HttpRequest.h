#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/CurlHandles.h"
#include "platform/HttpResponseHead.h"
#include "platform/HttpTarget.h"
#include "support/SystemTime.h"

namespace kivo::platform {

class HttpSession;

// Why a request failed, for callers and tests that need to tell the cases apart.
enum class HttpError {
  None,
  Setup,           // libcurl refused the transfer
  Connect,         // the host could not be resolved or reached
  ConnectTimeout,  // connecting took longer than the connect time-out
  ReceiveTimeout,  // no data arrived for the receive time-out
  Transport,       // the connection failed or the body ended early
  Redirect,        // too many redirects, or one to a scheme other than http and https
  TooSlow,         // fewer than kMinBytesPerWindow arrived over a whole receive time-out
  Abandoned,       // the session's abandon check asked to stop
};

// One GET through an HttpSession, shaped after the operations the fetcher uses: send, query
// two headers, read the body in pieces of at most 1024 bytes.
//
// Redirects (301, 302, 303, 307, 308 with a Location) are followed, at most kMaxRedirects
// hops and to http and https only; the status and headers are those of the final response.
//
// A server cannot hold a request for ever: once connected, a transfer fails when no data comes
// for the receive time-out, and also when fewer than kMinBytesPerWindow bytes (headers and body
// alike) come over a whole receive time-out spent waiting. And the session's abandon check is
// asked at least every kPollSlice while the request waits, and before every read.
// The body is pulled from libcurl as the caller reads, so the transfer pauses while the caller
// is busy and at most one piece of libcurl's receive buffer is held here.
class HttpRequest {
 public:
  static constexpr int32_t kMaxRead = 1024;
  static constexpr int32_t kMaxRedirects = 10;
  static constexpr uint64_t kMinBytesPerWindow = 1024;
  static constexpr std::chrono::milliseconds kPollSlice{200};

  // Only HttpSession::OpenRequest constructs requests.
  class Key {
    friend class HttpSession;
    Key() = default;
  };
  HttpRequest(Key key, HttpSession& session, HttpScheme scheme, HttpAuthority authority,
              std::string target);
  HttpRequest(const HttpRequest&) = delete;
  HttpRequest& operator=(const HttpRequest&) = delete;
  ~HttpRequest();

  // Sends the request and waits for the headers of the final response. True when they arrived.
  bool Send();
  // The status code of the final response, 0 before Send succeeded.
  int32_t StatusCode() const { return status_; }
  // The first Last-Modified header of the final response, when it holds a valid HTTP date.
  std::optional<SystemTime> QueryLastModified() const;
  // The first Content-Length header of the final response, when it is a plain decimal number.
  std::optional<uint64_t> QueryContentLength() const;
  // Reads up to min(capacity, kMaxRead) bytes of the body into buffer. Returns the count, or 0
  // at the end of the body and after any failure (see CompletedWhole).
  int32_t Read(uint8_t* buffer, int32_t capacity);
  // True once Read has reached the end of a body that arrived whole.
  bool CompletedWhole() const;
  HttpError Error() const { return error_; }
  // The number of redirects followed.
  int32_t RedirectCount() const { return redirects_; }
  // The absolute URL of the final response, as it was requested (percent-encoded).
  const std::string& FinalUrl() const { return currentUrl_; }

 private:
  friend class HttpSession;

  bool StartTransfer(const std::string& url, const std::string* requestTarget, HttpScheme scheme);
  void StopTransfer();
  bool FollowRedirect();
  bool PumpUntilHeaders();
  bool PumpUntilBody();
  // Lets libcurl move the transfer on without waiting.
  void Perform();
  // Waits for network activity, at most until the receive time-out would expire, which it
  // reports as a failure.
  void WaitForActivity(std::chrono::steady_clock::time_point waitStart);
  void Fail(HttpError error);
  // Fails the request when the session's abandon check says so; true then.
  bool Abandoned();

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static int OnConnected(void* self, char* remoteIp, char* localIp, int remotePort, int localPort);

  HttpSession& session_;
  HttpScheme scheme_;
  HttpAuthority authority_;
  std::string target_;
  std::string currentUrl_;

  CurlEasy easy_;
  CurlSlist headers_;
  bool attached_ = false;
  bool finished_ = false;
  bool paused_ = false;
  bool awaitingData_ = false;
  bool connected_ = false;
  std::chrono::steady_clock::time_point lastActivity_;
  // The minimum-rate window: time spent waiting for data, and the bytes that came meanwhile.
  std::chrono::steady_clock::duration windowWaited_{};
  uint64_t windowBytes_ = 0;

  HttpResponseHead head_;
  int32_t status_ = 0;
  int32_t redirects_ = 0;
  HttpError error_ = HttpError::None;
  bool sent_ = false;

  // Body bytes that libcurl delivered and the caller has not read yet.
  std::vector<uint8_t> pending_;
  size_t pendingPos_ = 0;
};

}  // namespace kivo::platform
