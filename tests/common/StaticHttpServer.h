#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kivo::test {

// One resource the server answers with.
struct StaticResource {
  std::string Body;
  std::string ContentType = "text/html";
  // The Last-Modified header's value; none sends no header.
  std::optional<std::string> LastModified;
};

// One request as the server saw it.
struct RecordedRequest {
  std::string Method;
  std::string Target;
  std::string Host;  // the Host header
};

// A small HTTP/1.1 server on 127.0.0.1 for tests and the demo: it answers GET
// requests from a table of resources, or from the files of a folder (with
// Last-Modified from the file's time), keeps connections alive, and records
// every request. It runs on a thread of its own until it is destroyed.
class StaticHttpServer {
 public:
  // Listens on 127.0.0.1:port (0 picks a free port).
  explicit StaticHttpServer(uint16_t port = 0);
  StaticHttpServer(const StaticHttpServer&) = delete;
  StaticHttpServer& operator=(const StaticHttpServer&) = delete;
  ~StaticHttpServer();

  // True when the socket is listening.
  bool IsListening() const { return listenFd_ >= 0; }
  uint16_t Port() const { return port_; }
  // "http://127.0.0.1:PORT".
  std::string Origin() const;

  // Sets the resource for a request target (path and query, as sent).
  void Set(const std::string& target, StaticResource resource);
  // Answers targets without a resource from the files under folder.
  void ServeFolder(const std::string& folder);
  // Returns every request received so far, in order.
  std::vector<RecordedRequest> Requests() const;
  // Returns the targets of the requests received so far, in order.
  std::vector<std::string> Targets() const;
  void ClearRequests();

 private:
  struct Connection;

  void Run();
  bool ServeOne(Connection& connection);
  std::string Respond(const RecordedRequest& request);
  std::optional<StaticResource> FileResource(const std::string& target) const;

  int listenFd_ = -1;
  int wakeFds_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::map<std::string, StaticResource> resources_;
  std::string folder_;
  std::vector<RecordedRequest> requests_;
  std::thread thread_;
};

// Formats a Unix time as an HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT").
std::string HttpDate(int64_t unixSeconds);

}  // namespace kivo::test
