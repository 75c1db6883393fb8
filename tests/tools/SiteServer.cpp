// kivo-site-server: serves the files of a folder on 127.0.0.1 until it is
// told to stop (SIGINT or SIGTERM). The demo uses it so that a patrol can be
// shown without anything from the internet.
//
//   kivo-site-server FOLDER [PORT]
//
// It prints the port it listens on as the first line of its output.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/StaticHttpServer.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fputs("Usage: kivo-site-server FOLDER [PORT]\n", stderr);
    return 2;
  }
  const long port = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 0;
  if (port < 0 || port > 65535) {
    std::fputs("kivo-site-server: the port must lie in 0..65535\n", stderr);
    return 2;
  }
  // Block the stop signals before the server thread starts, so that only
  // sigwait below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  kivo::test::StaticHttpServer server(static_cast<uint16_t>(port));
  if (!server.IsListening()) {
    std::fprintf(stderr, "kivo-site-server: cannot listen on 127.0.0.1:%ld\n", port);
    return 1;
  }
  server.ServeFolder(argv[1]);
  std::printf("%u\n", server.Port());
  std::fflush(stdout);
  int signal = 0;
  sigwait(&stopSignals, &signal);
  return 0;
}
