// kivo-site-server: serves the files of a folder on 127.0.0.1 until it is
// told to stop (SIGINT or SIGTERM). The demo uses it so that a patrol can be
// shown without anything from the internet. It is the tests' loopback server
// with one scripted response per file, so each file is read once at start.
//
//   kivo-site-server FOLDER
//
//   kivo-site-server --delay MS FOLDER
//
// With --delay every response waits MS milliseconds before its status line,
// as if the server were that far away (at most 10,000).
//
// It prints the port it listens on as the first line of its output.
#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "httpserver/TestHttpServer.h"

namespace {

// Formats a file time as an HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT").
std::string HttpDate(std::time_t time) {
  std::tm tm = {};
  ::gmtime_r(&time, &tm);
  char text[64];
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return text;
}

std::string ContentTypeOf(const std::filesystem::path& path) {
  const std::string ext = path.extension().string();
  if (ext == ".html" || ext == ".htm") {
    return "text/html; charset=Shift_JIS";
  }
  if (ext == ".gif") {
    return "image/gif";
  }
  if (ext == ".css") {
    return "text/css";
  }
  return "application/octet-stream";
}

// Scripts one response per regular file under folder, each held delayMs
// before its status line; returns the count.
int ScriptFolder(kivo::test::TestHttpServer& server, const std::filesystem::path& folder,
                 int delayMs) {
  int count = 0;
  std::error_code error;
  for (const auto& item : std::filesystem::recursive_directory_iterator(folder, error)) {
    if (!item.is_regular_file()) {
      continue;
    }
    std::ifstream in(item.path(), std::ios::binary);
    kivo::test::ScriptedResponse response = kivo::test::ScriptedResponse::Ok(
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    struct stat info = {};
    ::stat(item.path().c_str(), &info);
    response.HeaderDelayMs = delayMs;
    response.Headers.emplace_back("Content-Type", ContentTypeOf(item.path()));
    response.Headers.emplace_back("Last-Modified", HttpDate(info.st_mtime));
    std::string target = "/";
    target += std::filesystem::relative(item.path(), folder).string();
    if (item.path().filename() == "index.html") {
      // The folder's own URL, ending in "/", serves its index page too.
      server.Script(target.substr(0, target.rfind('/') + 1), response);
    }
    server.Script(target, std::move(response));
    ++count;
  }
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  int delayMs = 0;
  const char* folder = argc == 2 ? argv[1] : nullptr;
  if (argc == 4 && std::string_view(argv[1]) == "--delay") {
    char* end = nullptr;
    const long delay = std::strtol(argv[2], &end, 10);
    if (end != argv[2] && *end == '\0' && delay >= 0 &&
        delay <= kivo::test::TestHttpServer::kIdleLimitMs) {
      delayMs = static_cast<int>(delay);
      folder = argv[3];
    }
  }
  if (folder == nullptr) {
    std::fputs("Usage: kivo-site-server [--delay MS] FOLDER\n", stderr);
    return 2;
  }
  // Block the stop signals before any server thread starts, so that only
  // sigwait below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  kivo::test::TestHttpServer server;
  if (!server.IsListening()) {
    std::fputs("kivo-site-server: cannot listen on 127.0.0.1\n", stderr);
    return 1;
  }
  if (ScriptFolder(server, folder, delayMs) == 0) {
    std::fprintf(stderr, "kivo-site-server: no files under %s\n", folder);
    return 1;
  }
  std::printf("%u\n", server.Port());
  std::fflush(stdout);
  int signal = 0;
  sigwait(&stopSignals, &signal);
  return 0;
}
