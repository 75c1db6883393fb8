// kivo-site-server: serves the files of a folder on 127.0.0.1 until it is
// told to stop (SIGINT or SIGTERM). The demo uses it so that a patrol can be
// shown without anything from the internet. It is the tests' loopback server
// with one scripted response per file, so each file is read once at start.
//
//   kivo-site-server [--delay MS] [--slow TARGET MS] [--busy STATUS] [--one-connection] FOLDER
//
// With --delay every response waits MS milliseconds before its status line,
// as if the server were that far away (at most 10,000); --slow holds the one
// request target TARGET ("/a.html") that long instead. With --busy a request
// that arrives while another is being prepared gets STATUS (503, say), as a
// server with a limit per client does. With --one-connection it serves one
// connection at a time and keeps it until the client closes it, as small
// servers without threads do.
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

// How the server answers, from its options.
struct Options {
  int DelayMs = 0;
  std::string SlowTarget;
  int SlowMs = 0;
  int BusyStatus = 0;
  bool OneConnection = false;
  const char* Folder = nullptr;
};

// Reads a number of milliseconds or a status, 0..10,000; false when it is none.
bool ParseNumber(const char* text, int& value) {
  char* end = nullptr;
  const long number = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || number < 0 ||
      number > kivo::test::TestHttpServer::kIdleLimitMs) {
    return false;
  }
  value = static_cast<int>(number);
  return true;
}

// Reads the command line; false when it is not understood.
bool ParseOptions(int argc, char** argv, Options& options) {
  int i = 1;
  for (; i < argc - 1; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--one-connection") {
      options.OneConnection = true;
    } else if (arg == "--delay" && i + 2 < argc) {
      if (!ParseNumber(argv[++i], options.DelayMs)) {
        return false;
      }
    } else if (arg == "--busy" && i + 2 < argc) {
      if (!ParseNumber(argv[++i], options.BusyStatus)) {
        return false;
      }
    } else if (arg == "--slow" && i + 3 < argc) {
      options.SlowTarget = argv[++i];
      if (!ParseNumber(argv[++i], options.SlowMs)) {
        return false;
      }
    } else {
      return false;
    }
  }
  options.Folder = i == argc - 1 ? argv[i] : nullptr;
  return options.Folder != nullptr;
}

// Scripts one response per regular file under folder, each held as the
// options say before its status line; returns the count.
int ScriptFolder(kivo::test::TestHttpServer& server, const Options& options) {
  const std::filesystem::path folder = options.Folder;
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
    response.Headers.emplace_back("Content-Type", ContentTypeOf(item.path()));
    response.Headers.emplace_back("Last-Modified", HttpDate(info.st_mtime));
    std::string target = "/";
    target += std::filesystem::relative(item.path(), folder).string();
    response.HeaderDelayMs = target == options.SlowTarget ? options.SlowMs : options.DelayMs;
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
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(
        "Usage: kivo-site-server [--delay MS] [--slow TARGET MS] [--busy STATUS] "
        "[--one-connection] FOLDER\n",
        stderr);
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
  if (options.OneConnection) {
    server.SetMode(kivo::test::ServerMode::OneConnection);
  }
  server.AnswerBusyWith(options.BusyStatus);
  if (ScriptFolder(server, options) == 0) {
    std::fprintf(stderr, "kivo-site-server: no files under %s\n", options.Folder);
    return 1;
  }
  std::printf("%u\n", server.Port());
  std::fflush(stdout);
  int signal = 0;
  sigwait(&stopSignals, &signal);
  return 0;
}
