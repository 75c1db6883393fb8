#include "httpserver/TestHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iterator>

namespace kivo::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTickMs = 20;
constexpr size_t kMaxHeadBytes = 64 * 1024;
constexpr size_t kSendSlice = 64 * 1024;

char LowerAscii(char ch) {
  return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 303:
      return "See Other";
    case 307:
      return "Temporary Redirect";
    case 308:
      return "Permanent Redirect";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

// Binds a TCP socket to 127.0.0.1 with an ephemeral port and listens; returns the descriptor
// and port, or -1.
int ListenOnLoopback(int backlog, uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return -1;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, backlog) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

std::string LoopbackAuthority(uint16_t port) {
  return "127.0.0.1:" + std::to_string(port);
}

std::string Hex(size_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%zx", value);
  return text;
}

// Closes with a reset instead of an orderly shutdown.
void ResetConnection(int fd) {
  linger option{};
  option.l_onoff = 1;
  option.l_linger = 0;
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
}

}  // namespace

ScriptedResponse ScriptedResponse::Ok(std::string body) {
  ScriptedResponse response;
  response.Body = std::move(body);
  return response;
}

ScriptedResponse ScriptedResponse::Redirect(int status, std::string location) {
  ScriptedResponse response;
  response.Status = status;
  response.Headers.emplace_back("Location", std::move(location));
  response.Body = "moved";
  return response;
}

std::optional<std::string> RecordedRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : Headers) {
    if (EqualsNoCase(key, name)) {
      return value;
    }
  }
  return std::nullopt;
}

TestHttpServer::TestHttpServer() {
  listenFd_ = ListenOnLoopback(64, port_);
  if (listenFd_ >= 0) {
    acceptThread_ = std::thread([this] { AcceptLoop(); });
  }
}

TestHttpServer::~TestHttpServer() {
  stop_ = true;
  if (acceptThread_.joinable()) {
    acceptThread_.join();
  }
  std::vector<Worker> workers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    workers.swap(workers_);
  }
  for (Worker& worker : workers) {
    worker.Thread.join();
  }
  if (listenFd_ >= 0) {
    ::close(listenFd_);
  }
}

std::string TestHttpServer::Authority() const {
  return LoopbackAuthority(port_);
}

std::string TestHttpServer::Url(std::string_view target) const {
  return "http://" + Authority() + std::string(target);
}

std::u16string TestHttpServer::WideUrl(std::string_view target) const {
  const std::string url = Url(target);
  return std::u16string(url.begin(), url.end());
}

void TestHttpServer::Script(std::string target, ScriptedResponse response) {
  std::lock_guard<std::mutex> lock(mutex_);
  scripts_[std::move(target)] = std::move(response);
}

std::vector<RecordedRequest> TestHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

size_t TestHttpServer::RequestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.size();
}

bool TestHttpServer::WaitForOutcomes(size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    const auto done = std::count_if(requests_.begin(), requests_.end(), [](const auto& request) {
      return request.Outcome != ResponseOutcome::Pending;
    });
    return static_cast<size_t>(done) >= count;
  });
}

void TestHttpServer::AcceptLoop() {
  int nextId = 1;
  while (!stop_) {
    pollfd entry{listenFd_, POLLIN, 0};
    if (::poll(&entry, 1, kTickMs) <= 0) {
      continue;
    }
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      continue;
    }
    // Without this, Nagle's algorithm and the client's delayed acknowledgements hold every
    // small write back for tens of milliseconds.
    const int noDelay = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    JoinFinishedWorkers();
    std::lock_guard<std::mutex> lock(mutex_);
    if (workers_.size() >= kMaxConnections) {
      ::close(fd);
      continue;
    }
    ++connections_;
    const int id = nextId++;
    auto done = std::make_shared<std::atomic<bool>>(false);
    workers_.push_back(Worker{std::thread([this, fd, id, done] {
                                Serve(fd, id);
                                *done = true;
                              }),
                              done});
  }
}

void TestHttpServer::JoinFinishedWorkers() {
  std::vector<Worker> finished;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto split = std::stable_partition(workers_.begin(), workers_.end(),
                                             [](const Worker& worker) { return !*worker.Done; });
    std::move(split, workers_.end(), std::back_inserter(finished));
    workers_.erase(split, workers_.end());
  }
  for (Worker& worker : finished) {
    worker.Thread.join();
  }
}

void TestHttpServer::Serve(int fd, int connectionId) {
  std::string pending;
  for (;;) {
    std::string head;
    if (!ReadHead(fd, pending, head)) {
      break;
    }
    RecordedRequest request;
    request.ConnectionId = connectionId;
    size_t lineEnd = head.find("\r\n");
    request.RequestLine = head.substr(0, lineEnd);
    const size_t firstSpace = request.RequestLine.find(' ');
    const size_t lastSpace = request.RequestLine.rfind(' ');
    if (firstSpace != std::string::npos && lastSpace > firstSpace) {
      request.Method = request.RequestLine.substr(0, firstSpace);
      request.Target = request.RequestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1);
      request.Version = request.RequestLine.substr(lastSpace + 1);
    }
    while (lineEnd != std::string::npos && lineEnd + 2 < head.size()) {
      const size_t start = lineEnd + 2;
      lineEnd = head.find("\r\n", start);
      const std::string_view line(head.data() + start,
                                  (lineEnd == std::string::npos ? head.size() : lineEnd) - start);
      const size_t colon = line.find(':');
      if (colon != std::string_view::npos) {
        request.Headers.emplace_back(std::string(line.substr(0, colon)),
                                     std::string(Trim(line.substr(colon + 1))));
      }
    }
    ScriptedResponse response;
    size_t index = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto script = scripts_.find(request.Target);
      if (script != scripts_.end()) {
        response = script->second;
      } else {
        response.Status = 404;
        response.Body = "not found";
      }
      requests_.push_back(request);
      index = requests_.size() - 1;
      peakWaiting_ = std::max(peakWaiting_, ++waiting_);
    }
    changed_.notify_all();
    // The request counts as waiting until its response begins, so that a client which sends
    // its next request the moment the last one is answered is never counted twice.
    const bool waited = WaitWatchingClient(fd, response.HeaderDelayMs);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      --waiting_;
    }
    response.HeaderDelayMs = 0;
    bool keepOpen = false;
    const ResponseOutcome outcome =
        waited ? Respond(fd, response, keepOpen) : ResponseOutcome::ClientClosed;
    Finish(index, outcome);
    if (outcome == ResponseOutcome::Reset) {
      break;
    }
    if (!keepOpen || outcome != ResponseOutcome::Completed) {
      break;
    }
  }
  ::close(fd);
}

ResponseOutcome TestHttpServer::Respond(int fd, const ScriptedResponse& response, bool& keepOpen) {
  if (!WaitWatchingClient(fd, response.HeaderDelayMs)) {
    return ResponseOutcome::ClientClosed;
  }
  const std::string& body = response.Body;
  std::string head =
      "HTTP/1.1 " + std::to_string(response.Status) + " " + ReasonPhrase(response.Status) + "\r\n";
  for (const auto& [name, value] : response.Headers) {
    head += name + ": " + value + "\r\n";
    if (response.HeaderLineDelayMs > 0) {
      if (!SendAll(fd, head) || !WaitWatchingClient(fd, response.HeaderLineDelayMs)) {
        return ResponseOutcome::ClientClosed;
      }
      head.clear();
    }
  }
  switch (response.Length) {
    case LengthHeader::Exact:
      head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
      break;
    case LengthHeader::Absent:
      break;
    case LengthHeader::TooSmall:
      head += "Content-Length: " +
              std::to_string(body.size() - std::min(response.LengthError, body.size())) + "\r\n";
      break;
    case LengthHeader::TooLarge:
      head += "Content-Length: " + std::to_string(body.size() + response.LengthError) + "\r\n";
      break;
  }
  if (response.Chunked) {
    head += "Transfer-Encoding: chunked\r\n";
  }
  keepOpen = !response.Close && (response.Length == LengthHeader::Exact || response.Chunked);
  if (!keepOpen) {
    head += "Connection: close\r\n";
  }
  head += "\r\n";
  if (!SendAll(fd, head)) {
    return ResponseOutcome::ClientClosed;
  }

  const size_t chunkSize = std::max<size_t>(response.ChunkSize, 1);
  size_t nextDelay = response.DelayAtByte;
  size_t pos = 0;
  for (;;) {
    if (!response.HoldName.empty() && pos == response.HoldAtByte &&
        !HoldWatchingClient(fd, response.HoldName)) {
      return ResponseOutcome::ClientClosed;
    }
    if (response.BodyDelayMs > 0 && pos == nextDelay) {
      if (!WaitWatchingClient(fd, response.BodyDelayMs)) {
        return ResponseOutcome::ClientClosed;
      }
      nextDelay = response.DelayEveryBytes > 0 ? nextDelay + response.DelayEveryBytes : SIZE_MAX;
    }
    if (response.ResetAtByte && pos == *response.ResetAtByte) {
      ResetConnection(fd);
      return ResponseOutcome::Reset;
    }
    if (pos >= body.size()) {
      break;
    }
    size_t next = std::min(body.size(), pos + (response.Chunked ? chunkSize : kSendSlice));
    if (nextDelay > pos) {
      next = std::min(next, nextDelay);
    }
    if (!response.HoldName.empty() && response.HoldAtByte > pos) {
      next = std::min(next, response.HoldAtByte);
    }
    if (response.ResetAtByte && *response.ResetAtByte > pos) {
      next = std::min(next, *response.ResetAtByte);
    }
    const std::string_view piece(body.data() + pos, next - pos);
    const bool sent = response.Chunked
                          ? SendAll(fd, Hex(piece.size()) + "\r\n" + std::string(piece) + "\r\n")
                          : SendAll(fd, piece);
    if (!sent) {
      return ResponseOutcome::ClientClosed;
    }
    pos = next;
  }
  if (response.Chunked && !SendAll(fd, "0\r\n\r\n")) {
    return ResponseOutcome::ClientClosed;
  }
  return ResponseOutcome::Completed;
}

bool TestHttpServer::ReadHead(int fd, std::string& pending, std::string& head) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kIdleLimitMs);
  for (;;) {
    const size_t end = pending.find("\r\n\r\n");
    if (end != std::string::npos) {
      head = pending.substr(0, end);
      pending.erase(0, end + 4);
      return true;
    }
    if (pending.size() > kMaxHeadBytes || stop_ || Clock::now() > deadline) {
      return false;
    }
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, kTickMs) <= 0) {
      continue;
    }
    char buffer[4096];
    const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
    if (count <= 0) {
      return false;
    }
    pending.append(buffer, static_cast<size_t>(count));
  }
}

bool TestHttpServer::WaitUntilHeld(const std::string& name, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    const auto found = held_.find(name);
    return found != held_.end() && found->second > 0;
  });
}

void TestHttpServer::Release(const std::string& name) {
  {
    std::lock_guard lock(mutex_);
    released_[name] = true;
  }
  changed_.notify_all();
}

bool TestHttpServer::HoldWatchingClient(int fd, const std::string& name) {
  {
    std::lock_guard lock(mutex_);
    ++held_[name];
  }
  changed_.notify_all();
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kMaxHoldMs);
  while (Clock::now() < deadline) {
    {
      std::unique_lock lock(mutex_);
      if (changed_.wait_for(lock, std::chrono::milliseconds(kTickMs),
                            [&] { return released_[name] || stop_; })) {
        return !stop_;
      }
    }
    if (!WaitWatchingClient(fd, 0)) {
      return false;
    }
    pollfd entry{fd, POLLIN | POLLRDHUP, 0};
    if (::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
      return false;
    }
  }
  return false;
}

bool TestHttpServer::WaitWatchingClient(int fd, int delayMs) {
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(std::clamp(delayMs, 0, kMaxDelayMs));
  while (Clock::now() < deadline) {
    if (stop_) {
      return false;
    }
    pollfd entry{fd, POLLIN | POLLRDHUP, 0};
    if (::poll(&entry, 1, kTickMs) <= 0) {
      continue;
    }
    if ((entry.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
      return false;
    }
    char probe = 0;
    if (::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT) == 0) {
      return false;
    }
    // Data from the client (a next request) is left for later; keep waiting without spinning.
    std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
  }
  return true;
}

bool TestHttpServer::SendAll(int fd, std::string_view bytes) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kIdleLimitMs);
  while (!bytes.empty()) {
    if (stop_ || Clock::now() > deadline) {
      return false;
    }
    pollfd entry{fd, POLLOUT, 0};
    if (::poll(&entry, 1, kTickMs) <= 0) {
      continue;
    }
    if ((entry.revents & (POLLHUP | POLLERR)) != 0) {
      return false;
    }
    const ssize_t count = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
      continue;
    }
    if (count <= 0) {
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(count));
  }
  return true;
}

size_t TestHttpServer::PeakWaiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return peakWaiting_;
}

void TestHttpServer::ResetPeakWaiting() {
  std::lock_guard<std::mutex> lock(mutex_);
  peakWaiting_ = waiting_;
}

void TestHttpServer::Finish(size_t index, ResponseOutcome outcome) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_[index].Outcome = outcome;
  }
  changed_.notify_all();
}

StalledListener::StalledListener() {
  listenFd_ = ListenOnLoopback(0, port_);
  if (listenFd_ < 0) {
    return;
  }
  // Fill the listen queue with connections that are never accepted; the kernel then drops
  // further connection attempts, which keeps them waiting.
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port_);
  for (int i = 0; i < 4; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
      break;
    }
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    fillers_.push_back(fd);
  }
  // Give the handshakes of the fillers a moment to land in the queue.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

StalledListener::~StalledListener() {
  for (int fd : fillers_) {
    ::close(fd);
  }
  if (listenFd_ >= 0) {
    ::close(listenFd_);
  }
}

std::string StalledListener::Authority() const {
  return LoopbackAuthority(port_);
}

}  // namespace kivo::test
