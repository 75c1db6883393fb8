#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "httpserver/ScriptedResponse.h"

namespace kivo::test {

// How the server takes its connections.
enum class ServerMode {
  Threaded,       // each connection on a thread of its own
  OneConnection,  // one connection at a time, kept until the client closes it; others queue
};

// A small HTTP/1.1 server on 127.0.0.1 with an ephemeral port, for tests only.
//
// Responses are scripted per exact request target; a target without a script gets 404. As a
// proxy, the server sees absolute-URI targets ("http://host/path") and CONNECT targets
// ("host:443"), so scripting those targets makes it answer as a proxy would (a CONNECT is
// answered with the scripted status and never tunnelled). Every request line and its headers
// are recorded. Each connection runs on its own thread; every wait ends when the client goes
// away, idle connections end after kIdleLimitMs, and the destructor stops everything within a
// fraction of a second. In ServerMode::OneConnection it serves one connection at a time, as
// small servers without threads do (Python's plain HTTPServer with keep-alive): a connection
// is served until the client closes it, however long it idles, while the next ones wait.
class TestHttpServer {
 public:
  static constexpr int kIdleLimitMs = 10000;
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
  // The connections accepted so far.
  int ConnectionCount() const { return connections_.load(); }
  // The most requests that were waiting at once for their response to begin (after any
  // HeaderDelayMs). A client never has fewer requests in flight than this.
  size_t PeakWaiting() const;
  void ResetPeakWaiting();
  // Waits up to timeoutMs until at least `count` responses have ended, sent whole or not.
  bool WaitForOutcomes(size_t count, int timeoutMs = 5000) const;
  // Waits up to timeoutMs until a response scripted with HoldName `name` has reached its hold.
  bool WaitUntilHeld(const std::string& name, int timeoutMs = 5000) const;
  // Lets every response held under `name` go on, now and from now on.
  void Release(const std::string& name);
  // Takes the connections accepted from now on as `mode` says.
  void SetMode(ServerMode mode) { mode_ = mode; }
  // From now on a request that arrives while another is being prepared (before its status line
  // is sent) gets `status` (with a short body) instead of its script, as a server with a limit
  // per client does; 0 ends that.
  void AnswerBusyWith(int status) { busyStatus_ = status; }

 private:
  void AcceptLoop();
  void Serve(int fd, int connectionId);
  bool Respond(int fd, const ScriptedResponse& response);
  bool ReadHead(int fd, std::string& pending, std::string& head);
  bool Pause(int fd, int delayMs, const std::string& holdName);
  bool Hold(int fd, const std::string& name);
  bool SendTrailers(int fd, const ScriptedResponse& response);
  bool SendAll(int fd, std::string_view bytes);

  std::atomic<ServerMode> mode_{ServerMode::Threaded};
  std::atomic<int> busyStatus_{0};
  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::thread acceptThread_;

  mutable std::mutex mutex_;
  mutable std::condition_variable held_;
  std::map<std::string, ScriptedResponse> scripts_;
  std::vector<RecordedRequest> requests_;
  std::set<std::string> heldNames_;
  std::set<std::string> releasedNames_;
  size_t waiting_ = 0;
  size_t peakWaiting_ = 0;
  size_t answered_ = 0;
  size_t answering_ = 0;
  std::map<std::string, int> requestCounts_;
  std::vector<std::thread> workers_;  // one per connection, joined by the destructor
};

}  // namespace kivo::test
