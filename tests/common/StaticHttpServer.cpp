#include "common/StaticHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>

namespace kivo::test {

namespace {

// A request head larger than this is refused and the connection closed.
constexpr size_t kMaxHeadBytes = 64 * 1024;

std::string ContentTypeOf(const std::string& path) {
  const size_t dot = path.rfind('.');
  const std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
  if (ext == "html" || ext == "htm") {
    return "text/html; charset=Shift_JIS";
  }
  if (ext == "gif") {
    return "image/gif";
  }
  if (ext == "jpg" || ext == "jpeg") {
    return "image/jpeg";
  }
  if (ext == "css") {
    return "text/css";
  }
  return "application/octet-stream";
}

std::string HeaderValue(const std::string& head, const char* name) {
  const size_t nameLength = std::strlen(name);
  size_t pos = head.find("\r\n");
  while (pos != std::string::npos && pos + 2 < head.size()) {
    const size_t start = pos + 2;
    const size_t end = head.find("\r\n", start);
    const std::string line = head.substr(start, end - start);
    if (line.size() > nameLength && strncasecmp(line.c_str(), name, nameLength) == 0 &&
        line[nameLength] == ':') {
      size_t valueStart = nameLength + 1;
      while (valueStart < line.size() && line[valueStart] == ' ') {
        ++valueStart;
      }
      return line.substr(valueStart);
    }
    pos = end;
  }
  return {};
}

bool SendAll(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) {
      return false;
    }
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

struct StaticHttpServer::Connection {
  int Fd = -1;
  std::string Buffer;
};

std::string HttpDate(int64_t unixSeconds) {
  const std::time_t time = static_cast<std::time_t>(unixSeconds);
  std::tm tm = {};
  ::gmtime_r(&time, &tm);
  char text[64];
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return text;
}

StaticHttpServer::StaticHttpServer(uint16_t port) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) {
    return;
  }
  const int yes = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  socklen_t length = sizeof address;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 64) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      ::pipe2(wakeFds_, O_CLOEXEC) != 0) {
    ::close(listenFd_);
    listenFd_ = -1;
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

StaticHttpServer::~StaticHttpServer() {
  stopping_ = true;
  if (wakeFds_[1] >= 0) {
    const char byte = 0;
    [[maybe_unused]] ssize_t ignored = ::write(wakeFds_[1], &byte, 1);
  }
  if (thread_.joinable()) {
    thread_.join();
  }
  for (int fd : {listenFd_, wakeFds_[0], wakeFds_[1]}) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
}

std::string StaticHttpServer::Origin() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

void StaticHttpServer::Set(const std::string& target, StaticResource resource) {
  std::lock_guard<std::mutex> lock(mutex_);
  resources_[target] = std::move(resource);
}

void StaticHttpServer::ServeFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(mutex_);
  folder_ = folder;
}

std::vector<RecordedRequest> StaticHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<std::string> StaticHttpServer::Targets() const {
  std::vector<std::string> targets;
  for (const RecordedRequest& request : Requests()) {
    targets.push_back(request.Target);
  }
  return targets;
}

void StaticHttpServer::ClearRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
}

void StaticHttpServer::Run() {
  std::vector<std::unique_ptr<Connection>> connections;
  while (!stopping_) {
    std::vector<pollfd> fds;
    fds.push_back({wakeFds_[0], POLLIN, 0});
    fds.push_back({listenFd_, POLLIN, 0});
    for (const auto& connection : connections) {
      fds.push_back({connection->Fd, POLLIN, 0});
    }
    if (::poll(fds.data(), fds.size(), 1000) < 0) {
      continue;
    }
    if (fds[0].revents != 0) {
      break;
    }
    if (fds[1].revents & POLLIN) {
      const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) {
        auto connection = std::make_unique<Connection>();
        connection->Fd = fd;
        connections.push_back(std::move(connection));
      }
    }
    for (size_t i = 2; i < fds.size(); ++i) {
      if (fds[i].revents == 0) {
        continue;
      }
      Connection& connection = *connections[i - 2];
      if (!ServeOne(connection)) {
        ::close(connection.Fd);
        connection.Fd = -1;
      }
    }
    std::erase_if(connections, [](const auto& connection) { return connection->Fd < 0; });
  }
  for (const auto& connection : connections) {
    ::close(connection->Fd);
  }
}

bool StaticHttpServer::ServeOne(Connection& connection) {
  char chunk[4096];
  const ssize_t n = ::recv(connection.Fd, chunk, sizeof chunk, 0);
  if (n <= 0) {
    return false;
  }
  connection.Buffer.append(chunk, static_cast<size_t>(n));
  for (;;) {
    const size_t headEnd = connection.Buffer.find("\r\n\r\n");
    if (headEnd == std::string::npos) {
      return connection.Buffer.size() <= kMaxHeadBytes;
    }
    const std::string head = connection.Buffer.substr(0, headEnd + 2);
    connection.Buffer.erase(0, headEnd + 4);
    const size_t firstSpace = head.find(' ');
    const size_t secondSpace = head.find(' ', firstSpace + 1);
    if (firstSpace == std::string::npos || secondSpace == std::string::npos) {
      return false;
    }
    RecordedRequest request{head.substr(0, firstSpace),
                            head.substr(firstSpace + 1, secondSpace - firstSpace - 1),
                            HeaderValue(head, "Host")};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    if (!SendAll(connection.Fd, Respond(request))) {
      return false;
    }
  }
}

std::string StaticHttpServer::Respond(const RecordedRequest& request) {
  std::optional<StaticResource> resource;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = resources_.find(request.Target);
    if (it != resources_.end()) {
      resource = it->second;
    }
  }
  if (!resource) {
    resource = FileResource(request.Target);
  }
  std::string status = "200 OK";
  if (!resource) {
    status = "404 Not Found";
    resource = StaticResource{"<html><body>Not found</body></html>", "text/html", std::nullopt};
  }
  std::string response = "HTTP/1.1 " + status + "\r\nContent-Type: " + resource->ContentType +
                         "\r\nContent-Length: " + std::to_string(resource->Body.size()) + "\r\n";
  if (resource->LastModified) {
    response += "Last-Modified: " + *resource->LastModified + "\r\n";
  }
  response += "\r\n";
  if (request.Method != "HEAD") {
    response += resource->Body;
  }
  return response;
}

std::optional<StaticResource> StaticHttpServer::FileResource(const std::string& target) const {
  std::string folder;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    folder = folder_;
  }
  if (folder.empty() || target.empty() || target[0] != '/' ||
      target.find("..") != std::string::npos) {
    return std::nullopt;
  }
  std::string path = target.substr(0, target.find_first_of("?#"));
  if (path.back() == '/') {
    path += "index.html";
  }
  const std::string file = folder + path;
  struct stat info = {};
  if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  std::ifstream in(file, std::ios::binary);
  std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return StaticResource{std::move(body), ContentTypeOf(path), HttpDate(info.st_mtime)};
}

}  // namespace kivo::test
