// Measures FetchUrl over a kept-alive loopback connection: whole downloads of a few sizes, and
// the unchanged-page test, which costs only the response headers.
#include <benchmark/benchmark.h>

#include <string>

#include "common/TempDir.h"
#include "httpserver/TestHttpServer.h"
#include "patrol/FetchUrl.h"

namespace {

using kivo::test::ScriptedResponse;
using kivo::test::TestHttpServer;

constexpr const char* kLastModified = "Sun, 06 Nov 1994 08:49:37 GMT";

void BM_FetchUrl(benchmark::State& state) {
  TestHttpServer server;
  const auto size = static_cast<size_t>(state.range(0));
  server.Script("/page", ScriptedResponse::Ok(std::string(size, 'x')));
  auto session = kivo::HttpSession::Open(kivo::HttpSessionOptions());
  kivo::test::TempDir dir;
  const std::u16string output = dir.Wide("Kivo0000.tmp");
  const std::u16string url = server.WideUrl("/page");
  for (auto _ : state) {
    if (kivo::FetchUrl(*session, url, output, nullptr, nullptr, nullptr) != 1) {
      state.SkipWithError("fetch failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
}
BENCHMARK(BM_FetchUrl)->Arg(16 << 10)->Arg(1 << 20)->Arg(16 << 20)->UseRealTime();

void BM_FetchUrlUnchanged(benchmark::State& state) {
  TestHttpServer server;
  ScriptedResponse response = ScriptedResponse::Ok(std::string(1 << 20, 'x'));
  response.Headers = {{"Last-Modified", kLastModified}};
  server.Script("/page", response);
  auto session = kivo::HttpSession::Open(kivo::HttpSessionOptions());
  kivo::test::TempDir dir;
  const std::u16string output = dir.Wide("Kivo0000.tmp");
  const std::u16string url = server.WideUrl("/page");
  int32_t hasTime = 0;
  kivo::SystemTime time;
  kivo::FetchUrl(*session, url, output, &hasTime, &time, nullptr);
  for (auto _ : state) {
    if (kivo::FetchUrl(*session, url, output, &hasTime, &time, nullptr) != 0) {
      state.SkipWithError("the page counted as changed");
      break;
    }
  }
  // A failed fetch also gives 0: every iteration must have reached the server.
  if (static_cast<int64_t>(server.RequestCount()) != state.iterations() + 1) {
    state.SkipWithError("some requests never reached the server");
  }
}
BENCHMARK(BM_FetchUrlUnchanged)->UseRealTime();

}  // namespace
BENCHMARK_MAIN();
