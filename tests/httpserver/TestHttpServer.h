#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace kivo::test {

// How a scripted response states its length.
enum class LengthHeader {
  Exact,     // Content-Length equals the body size; the connection stays open
  Absent,    // no Content-Length; the body ends when the server closes the connection
  TooSmall,  // Content-Length is LengthError below the body size; closed after the body
  TooLarge,  // Content-Length is LengthError above the body size; closed after the body
};

// What the server sends for one request target.
struct ScriptedResponse {
  int Status = 200;
  // Extra headers in order, for example {"Last-Modified", "Sun, 06 Nov 1994 08:49:37 GMT"}.
  std::vector<std::pair<std::string, std::string>> Headers;
  std::string Body;
  LengthHeader Length = LengthHeader::Exact;
  size_t LengthError = 1;
  // Sends the body in chunks of ChunkSize bytes (any Content-Length is sent as well).
  bool Chunked = false;
  size_t ChunkSize = 1024;
  // Waits before the status line.
  int HeaderDelayMs = 0;
  // Waits before each header line of Headers, so that the head itself drips.
  int HeaderLineDelayMs = 0;
  // Waits before body byte DelayAtByte (0: between the headers and the body).
  int BodyDelayMs = 0;
  size_t DelayAtByte = 0;
  // Repeats that wait every DelayEveryBytes body bytes after DelayAtByte (0: only once).
  size_t DelayEveryBytes = 0;
  // Aborts the connection with a reset once this many body bytes have been sent.
  std::optional<size_t> ResetAtByte;
  // Closes the connection after this response even when its length is exact.
  bool Close = false;
  // Holds the response before body byte HoldAtByte (0: between the headers and the body) until
  // Release(HoldName) is called, so that a test can line up events without wall-clock margins.
  // Empty: no hold.
  std::string HoldName;
  size_t HoldAtByte = 0;

  static ScriptedResponse Ok(std::string body);
  static ScriptedResponse Redirect(int status, std::string location);
};

// How the server's answer to one request ended.
enum class ResponseOutcome {
  Pending,       // still being answered
  Completed,     // sent whole
  ClientClosed,  // the client closed the connection before the response was sent whole
  Reset,         // the script reset the connection
};

struct RecordedRequest {
  std::string RequestLine;  // e.g. "GET /a?b#c HTTP/1.1"
  std::string Method;
  std::string Target;
  std::string Version;
  std::vector<std::pair<std::string, std::string>> Headers;  // in the order sent
  int ConnectionId = 0;  // requests on one connection share the id
  ResponseOutcome Outcome = ResponseOutcome::Pending;

  // The first header of that name (case-insensitive), if any.
  std::optional<std::string> Header(std::string_view name) const;
};

// A small HTTP/1.1 server on 127.0.0.1 with an ephemeral port, for tests only.
//
// Responses are scripted per exact request target; a target without a script gets 404. As a
// proxy, the server sees absolute-URI targets ("http://host/path") and CONNECT targets
// ("host:443"), so scripting those targets makes it answer as a proxy would (a CONNECT is
// answered with the scripted status and never tunnelled). Every request line and its headers
// are recorded. Each connection runs on its own thread; all waits are bounded (no delay over
// kMaxDelayMs, idle connections end after kIdleLimitMs) and the destructor stops everything
// within a fraction of a second. At most kMaxConnections connections are open at once.
class TestHttpServer {
 public:
  static constexpr int kMaxDelayMs = 10000;
  static constexpr int kIdleLimitMs = 10000;
  static constexpr size_t kMaxConnections = 64;
  // A held response gives up waiting for its release after this long.
  static constexpr int kMaxHoldMs = 30000;

  TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;
  ~TestHttpServer();

  bool IsListening() const { return listenFd_ >= 0; }
  uint16_t Port() const { return port_; }
  // "127.0.0.1:port"
  std::string Authority() const;
  // "http://127.0.0.1:port" followed by target.
  std::string Url(std::string_view target) const;
  std::u16string WideUrl(std::string_view target) const;

  // Sets the response for an exact request target, replacing an earlier one.
  void Script(std::string target, ScriptedResponse response);

  std::vector<RecordedRequest> Requests() const;
  size_t RequestCount() const;
  int ConnectionCount() const { return connections_.load(); }
  // The most requests that were waiting at once for their response to begin (after any
  // HeaderDelayMs). A client never has fewer requests in flight than this.
  size_t PeakWaiting() const;
  void ResetPeakWaiting();
  // Waits up to timeoutMs until at least `count` requests have an outcome other than Pending.
  bool WaitForOutcomes(size_t count, int timeoutMs = 5000) const;
  // Waits up to timeoutMs until a response scripted with HoldName `name` has reached its hold.
  bool WaitUntilHeld(const std::string& name, int timeoutMs = 5000) const;
  // Lets every response held under `name` go on, now and from now on.
  void Release(const std::string& name);

 private:
  void AcceptLoop();
  void JoinFinishedWorkers();
  void Serve(int fd, int connectionId);
  ResponseOutcome Respond(int fd, const ScriptedResponse& response, bool& keepOpen);
  bool ReadHead(int fd, std::string& pending, std::string& head);
  bool WaitWatchingClient(int fd, int delayMs);
  bool HoldWatchingClient(int fd, const std::string& name);
  bool SendAll(int fd, std::string_view bytes);
  void Finish(size_t index, ResponseOutcome outcome);

  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::thread acceptThread_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::map<std::string, ScriptedResponse> scripts_;
  std::vector<RecordedRequest> requests_;
  size_t waiting_ = 0;
  size_t peakWaiting_ = 0;
  std::map<std::string, int> held_;  // responses that reached their hold, per name
  std::map<std::string, bool> released_;
  // One per open connection; finished ones are joined as new connections come in.
  struct Worker {
    std::thread Thread;
    std::shared_ptr<std::atomic<bool>> Done;
  };
  std::vector<Worker> workers_;
};

// A loopback port whose listen queue is full, so that a connect to it hangs until the client's
// own time-out. Used to test connect time-outs without leaving the machine.
class StalledListener {
 public:
  StalledListener();
  StalledListener(const StalledListener&) = delete;
  StalledListener& operator=(const StalledListener&) = delete;
  ~StalledListener();

  uint16_t Port() const { return port_; }
  std::string Authority() const;

 private:
  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::vector<int> fillers_;
};

}  // namespace kivo::test
