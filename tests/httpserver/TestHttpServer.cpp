#include "httpserver/TestHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>

namespace kivo::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTickMs = 20;
constexpr size_t kMaxHeadBytes = 64 * 1024;
constexpr size_t kSendSlice = 64 * 1024;

// Binds a TCP socket to 127.0.0.1 with an ephemeral port and listens; returns the descriptor
// and port, or -1.
int ListenOnLoopback(uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 64) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) {
      ::close(fd);
    }
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

TestHttpServer::TestHttpServer() {
  listenFd_ = ListenOnLoopback(port_);
  if (listenFd_ >= 0) {
    acceptThread_ = std::thread([this] { AcceptLoop(); });
  }
}

TestHttpServer::~TestHttpServer() {
  stop_ = true;
  if (acceptThread_.joinable()) {
    acceptThread_.join();
  }
  for (std::thread& worker : workers_) {
    worker.join();
  }
  if (listenFd_ >= 0) {
    ::close(listenFd_);
  }
}

std::string TestHttpServer::Authority() const {
  return "127.0.0.1:" + std::to_string(port_);
}

std::string TestHttpServer::Url(std::string_view target) const {
  return "http://" + Authority() + std::string(target);
}

std::u16string TestHttpServer::WideUrl(std::string_view target) const {
  const std::string url = Url(target);
  return std::u16string(url.begin(), url.end());
}

void TestHttpServer::Script(std::string target, ScriptedResponse response) {
  std::lock_guard lock(mutex_);
  requestCounts_.erase(target);
  scripts_[std::move(target)] = std::move(response);
}

std::vector<RecordedRequest> TestHttpServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

size_t TestHttpServer::RequestCount() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

bool TestHttpServer::WaitUntilHeld(const std::string& name, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return held_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [&] { return heldNames_.contains(name); });
}

void TestHttpServer::Release(const std::string& name) {
  std::lock_guard lock(mutex_);
  releasedNames_.insert(name);
}

void TestHttpServer::AcceptLoop() {
  while (!stop_) {
    pollfd entry{listenFd_, POLLIN, 0};
    const int fd =
        ::poll(&entry, 1, kTickMs) > 0 ? ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC) : -1;
    if (fd < 0) {
      continue;
    }
    // Without this, Nagle's algorithm and the client's delayed acknowledgements hold every
    // small write back for tens of milliseconds.
    const int noDelay = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    const int connectionId = ++connections_;
    if (mode_.load() == ServerMode::OneConnection) {
      Serve(fd, connectionId);  // the next connection waits in the listen queue meanwhile
      continue;
    }
    std::lock_guard lock(mutex_);
    workers_.emplace_back([this, fd, connectionId] { Serve(fd, connectionId); });
  }
}

void TestHttpServer::Serve(int fd, int connectionId) {
  std::string pending;
  std::string head;
  bool open = true;
  while (open && ReadHead(fd, pending, head)) {
    ScriptedResponse response = ScriptedResponse::Ok("not found");
    response.Status = 404;
    bool busy = false;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(ParseRequestHead(head));
      requests_.back().ConnectionId = connectionId;
      const std::string& target = requests_.back().Target;
      const auto script = scripts_.find(target);
      if (script != scripts_.end()) {
        ScriptedResponse scripted = script->second;
        if (scripted.CountRequests) {
          scripted.Body += "request " + std::to_string(++requestCounts_[target]);
        }
        // A 304 is counted too, but sends no body.
        response = AnswerTo(requests_.back(), scripted);
      }
      const int busyStatus = busyStatus_.load();
      busy = busyStatus != 0 && answering_ > 0;
      answering_ += busy ? 0 : 1;
      if (busy) {
        response = ScriptedResponse::Ok("busy");
        response.Status = busyStatus;
      }
      peakWaiting_ = std::max(peakWaiting_, ++waiting_);
    }
    // The request waits, and is being prepared, until its response begins: a client that sends
    // its next request the moment the last one is answered is never counted twice, nor finds
    // the server busy.
    const bool waited = Pause(fd, response.HeaderDelayMs, "") &&
                        (!response.HoldHead || Hold(fd, response.HoldName));
    {
      std::lock_guard lock(mutex_);
      --waiting_;
      answering_ -= busy ? 0 : 1;
    }
    response.HeaderDelayMs = 0;
    open = waited && Respond(fd, response);
    {
      std::lock_guard lock(mutex_);
      ++answered_;
    }
    held_.notify_all();
  }
  ::close(fd);
}

// Returns true when the response went out whole and the connection stays open for the next.
bool TestHttpServer::Respond(int fd, const ScriptedResponse& response) {
  const std::string& body = response.Body;
  std::string head = "HTTP/1.1 " + std::to_string(response.Status) + " Scripted\r\n";
  if (!Pause(fd, response.HeaderDelayMs, "")) {
    return false;
  }
  for (const auto& [name, value] : response.Headers) {
    head += name + ": " + value + "\r\n";
  }
  if (response.Length != LengthHeader::Absent) {
    const size_t error = response.Length == LengthHeader::Exact ? 0 : response.LengthError;
    const size_t stated = response.Length == LengthHeader::TooLarge
                              ? body.size() + error
                              : body.size() - std::min(error, body.size());
    head += "Content-Length: " + std::to_string(stated) + "\r\n";
  }
  const bool chunked = response.ChunkSize > 0;
  const bool keepOpen = response.Length == LengthHeader::Exact || chunked;
  head += chunked ? "Transfer-Encoding: chunked\r\n" : "";
  head += keepOpen ? "\r\n" : "Connection: close\r\n\r\n";
  if (!SendAll(fd, head)) {
    return false;
  }
  if (!response.HoldName.empty() && !response.HoldHead && !Hold(fd, response.HoldName)) {
    return false;
  }

  size_t nextDelay = response.BodyDelayMs > 0 ? response.DelayAtByte : SIZE_MAX;
  const size_t resetAt = response.ResetAtByte.value_or(SIZE_MAX);
  for (size_t pos = 0;;) {
    if (pos == nextDelay) {
      if (!Pause(fd, response.BodyDelayMs, "")) {
        return false;
      }
      nextDelay = response.DelayEveryBytes > 0 ? pos + response.DelayEveryBytes : SIZE_MAX;
    }
    if (pos == resetAt) {
      const linger reset{1, 0};  // close with a reset instead of an orderly shutdown
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
      return false;
    }
    if (pos >= body.size()) {
      break;
    }
    const size_t next = std::min(
        {body.size(), pos + (chunked ? response.ChunkSize : kSendSlice), nextDelay, resetAt});
    const std::string piece = body.substr(pos, next - pos);
    char size[20];
    char* sizeEnd = std::to_chars(size, size + sizeof size, piece.size(), 16).ptr;
    if (!SendAll(fd, chunked ? std::string(size, sizeEnd) + "\r\n" + piece + "\r\n" : piece)) {
      return false;
    }
    pos = next;
  }
  return (!chunked || SendTrailers(fd, response)) && keepOpen;
}

// Ends a chunked body: the last chunk, the trailers and the blank line that ends them, which
// an endless trailer section never sends.
bool TestHttpServer::SendTrailers(int fd, const ScriptedResponse& response) {
  bool sent = SendAll(fd, "0\r\n" + response.Trailers);
  while (sent && response.EndlessTrailers && !response.Trailers.empty()) {
    sent = SendAll(fd, response.Trailers);
  }
  return sent && SendAll(fd, "\r\n");
}

bool TestHttpServer::ReadHead(int fd, std::string& pending, std::string& head) {
  // A server of one connection at a time waits for the client however long it idles.
  const Clock::time_point deadline = mode_.load() == ServerMode::OneConnection
                                         ? Clock::time_point::max()
                                         : Clock::now() + std::chrono::milliseconds(kIdleLimitMs);
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

// Notes that a response has reached its hold under `name`, and waits until it is released.
bool TestHttpServer::Hold(int fd, const std::string& name) {
  {
    std::lock_guard lock(mutex_);
    heldNames_.insert(name);
  }
  held_.notify_all();
  return Pause(fd, kMaxHoldMs, name);
}

// Waits delayMs, or with a hold name until that name is released (giving up after delayMs).
// False when the client closed the connection, the server stops or a hold gave up.
bool TestHttpServer::Pause(int fd, int delayMs, const std::string& holdName) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(delayMs);
  while (Clock::now() < deadline) {
    if (stop_) {
      return false;
    }
    if (!holdName.empty()) {
      std::lock_guard lock(mutex_);
      if (releasedNames_.contains(holdName)) {
        return true;
      }
    }
    // A wait never runs past the deadline, so that a delay of 25 ms is 25 ms and not a whole
    // number of ticks.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const int tick = std::clamp(static_cast<int>(left.count()), 1, kTickMs);
    pollfd entry{fd, POLLIN | POLLRDHUP, 0};
    if (::poll(&entry, 1, tick) <= 0) {
      continue;
    }
    if ((entry.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
      return false;
    }
    // Data from the client (a next request) is left for later; keep waiting without spinning.
    std::this_thread::sleep_for(std::chrono::milliseconds(tick));
  }
  return holdName.empty();
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
  std::lock_guard lock(mutex_);
  return peakWaiting_;
}

void TestHttpServer::ResetPeakWaiting() {
  std::lock_guard lock(mutex_);
  peakWaiting_ = waiting_;
}

bool TestHttpServer::WaitForOutcomes(size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return held_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [&] { return answered_ >= count; });
}

}  // namespace kivo::test
