// Measures one download the way the patrol makes it (HttpConnections delivering into a
// DownloadBody) over a kept-alive loopback connection: whole downloads of a few sizes, and the
// unchanged-page test, which costs only the response headers.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "common/TempDir.h"
#include "httpserver/TestHttpServer.h"
#include "patrol/DownloadBody.h"
#include "platform/HttpConnections.h"

namespace {

using kivo::BodyOutcome;
using kivo::BodyStore;
using kivo::DownloadBody;
using kivo::platform::HttpConnections;
using kivo::test::ScriptedResponse;
using kivo::test::TestHttpServer;

constexpr const char* kLastModified = "Sun, 06 Nov 1994 08:49:37 GMT";
// kLastModified as the entry's stored time.
constexpr kivo::SystemTime kStoredTime{1994, 11, 0, 6, 8, 49, 37, 0};

// Runs a GET of "/page" from `server` into `body` until it ends, as the patrol waits for it.
// True when the body arrived whole; an unchanged page stops before its body and gives false.
bool Download(HttpConnections& http, const TestHttpServer& server, DownloadBody& body) {
  auto transfer = http.Prepare(kivo::platform::HttpScheme::Http,
                               kivo::test::U16(server.Authority()), u"/page", body);
  if (transfer == nullptr || !http.Start(*transfer)) {
    return false;
  }
  while (!transfer->Finished()) {
    http.Wait(std::chrono::milliseconds(200));
  }
  return transfer->CompletedWhole();
}

void BM_Download(benchmark::State& state) {
  TestHttpServer server;
  const auto size = static_cast<size_t>(state.range(0));
  server.Script("/page", ScriptedResponse::Ok(std::string(size, 'x')));
  auto http = HttpConnections::Open(kivo::HttpSessionOptions(), 1);
  kivo::test::TempDir dir;
  BodyStore store(dir.Wide(""), kivo::FetchLimits());
  for (auto _ : state) {
    DownloadBody body(store, std::nullopt);
    if (!Download(*http, server, body) || body.Outcome() != BodyOutcome::Accepted ||
        !body.FinishFile() || body.Size() != size) {
      state.SkipWithError("download failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
}
BENCHMARK(BM_Download)->Arg(16 << 10)->Arg(1 << 20)->Arg(16 << 20)->UseRealTime();

void BM_DownloadUnchanged(benchmark::State& state) {
  TestHttpServer server;
  ScriptedResponse response = ScriptedResponse::Ok(std::string(1 << 20, 'x'));
  response.Headers = {{"Last-Modified", kLastModified}};
  server.Script("/page", response);
  auto http = HttpConnections::Open(kivo::HttpSessionOptions(), 1);
  kivo::test::TempDir dir;
  BodyStore store(dir.Wide(""), kivo::FetchLimits());
  for (auto _ : state) {
    DownloadBody body(store, std::make_pair(int32_t{1}, kStoredTime));
    Download(*http, server, body);
    if (body.Outcome() != BodyOutcome::Unchanged) {
      state.SkipWithError("the page counted as changed");
      break;
    }
  }
  // Every iteration must have reached the server, not stopped short of it.
  if (static_cast<int64_t>(server.RequestCount()) != state.iterations()) {
    state.SkipWithError("some requests never reached the server");
  }
}
BENCHMARK(BM_DownloadUnchanged)->UseRealTime();

}  // namespace
BENCHMARK_MAIN();
