#include "platform/ConnectionSockets.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace kivo::platform {
namespace {

// The address at the far end of `socket`; false when it has none.
bool PeerOf(int socket, sockaddr_storage& peer, socklen_t& length) {
  length = sizeof peer;
  return ::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) == 0;
}

// The port of the near end of `socket`, or -1.
int LocalPortOf(int socket) {
  sockaddr_storage local{};
  socklen_t length = sizeof local;
  if (::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    return -1;
  }
  if (local.ss_family == AF_INET) {
    return ntohs(reinterpret_cast<const sockaddr_in&>(local).sin_port);
  }
  if (local.ss_family == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6&>(local).sin6_port);
  }
  return -1;
}

}  // namespace

bool ConnectionSockets::Watch(CURL* handle, const void* user) {
  Opener& opener = openers_[handle];
  opener = Opener{this, user};
  // A connection keeps the close callback that its handle had when it opened, so every
  // handle names this object for it.
  return curl_easy_setopt(handle, CURLOPT_OPENSOCKETFUNCTION, &ConnectionSockets::Open) ==
             CURLE_OK &&
         curl_easy_setopt(handle, CURLOPT_OPENSOCKETDATA, static_cast<void*>(&opener)) ==
             CURLE_OK &&
         curl_easy_setopt(handle, CURLOPT_CLOSESOCKETFUNCTION, &ConnectionSockets::Close) ==
             CURLE_OK &&
         curl_easy_setopt(handle, CURLOPT_CLOSESOCKETDATA, static_cast<void*>(this)) == CURLE_OK;
}

int ConnectionSockets::Claim(int port, const void* user) {
  for (auto& [socket, owner] : users_) {
    if (LocalPortOf(socket) == port) {
      owner = user;
      return socket;
    }
  }
  return -1;
}

void ConnectionSockets::Release(const void* user) {
  for (auto& [socket, owner] : users_) {
    owner = owner == user ? nullptr : owner;
  }
}

void ConnectionSockets::ShutIdleBeside(int socket) const {
  sockaddr_storage target{};
  socklen_t targetLength = 0;
  if (socket < 0 || !PeerOf(socket, target, targetLength)) {
    return;
  }
  for (const auto& [other, owner] : users_) {
    sockaddr_storage peer{};
    socklen_t length = 0;
    if (owner == nullptr && PeerOf(other, peer, length) && length == targetLength &&
        std::memcmp(&peer, &target, length) == 0) {
      // libcurl finds the connection dead when it next looks at it, and closes it.
      ::shutdown(other, SHUT_RDWR);
    }
  }
}

curl_socket_t ConnectionSockets::Open(void* opener, curlsocktype /*purpose*/,
                                      curl_sockaddr* address) {
  const auto& [sockets, user] = *static_cast<Opener*>(opener);
  const int socket = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
  if (socket < 0) {
    return CURL_SOCKET_BAD;
  }
  sockets->users_[socket] = user;
  return socket;
}

int ConnectionSockets::Close(void* self, curl_socket_t socket) {
  static_cast<ConnectionSockets*>(self)->users_.erase(socket);
  return ::close(socket);
}

}  // namespace kivo::platform
