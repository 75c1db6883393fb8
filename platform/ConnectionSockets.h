#pragma once

#include <curl/curl.h>

#include <map>

namespace kivo::platform {

// The sockets of the connections that one set of HTTP connections holds open, and which
// transfer uses each, so that the idle ones to a server can be shut while libcurl still keeps
// them: a server that serves one connection at a time turns to the next only when the one it
// serves is closed, and a request waiting on another connection is then answered without being
// asked for again. libcurl opens and closes the sockets through Watch's callbacks.
class ConnectionSockets {
 public:
  ConnectionSockets() = default;
  ConnectionSockets(const ConnectionSockets&) = delete;
  ConnectionSockets& operator=(const ConnectionSockets&) = delete;

  // Makes the connections of `handle` open and close their sockets here; the sockets it opens
  // are used by `user` until it is released. False when libcurl refuses.
  bool Watch(CURL* handle, const void* user);
  // Notes that `user` runs on the socket whose local end has `port`; returns that socket, or
  // -1 when it is not known.
  int Claim(int port, const void* user);
  // Notes that `user` no longer runs on any socket.
  void Release(const void* user);
  // Shuts every socket that no user runs on and that leads where `socket` does.
  void ShutIdleBeside(int socket) const;

 private:
  // What libcurl hands the open callback of one handle: where to record a socket, and for whom.
  struct Opener {
    ConnectionSockets* Sockets = nullptr;
    const void* User = nullptr;
  };

  static curl_socket_t Open(void* opener, curlsocktype purpose, curl_sockaddr* address);
  static int Close(void* self, curl_socket_t socket);

  std::map<int, const void*> users_;  // each open socket and who runs on it, or nullptr
  std::map<CURL*, Opener> openers_;   // one per handle; a map keeps their addresses
};

}  // namespace kivo::platform
