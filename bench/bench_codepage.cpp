// Measures the narrow/UTF-16 conversions on Shift-JIS text, the path every
// attribute value of a stored page goes through.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/AnsiConversion.h"

namespace {

std::string ShiftJisText(size_t bytes) {
  // "日本語のページ" in CP932 between ASCII, repeated.
  const std::string piece = "page/\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x79\x81\x5b\x83\x57.html ";
  std::string text;
  while (text.size() < bytes) {
    text += piece;
  }
  return text;
}

void BM_AnsiToWide(benchmark::State& state) {
  const std::string text = ShiftJisText(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(kivo::AnsiToWide(text.data(), static_cast<int64_t>(text.size())));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_AnsiToWide)->Arg(64)->Arg(64 << 10);

void BM_WideToAnsi(benchmark::State& state) {
  const std::string text = ShiftJisText(static_cast<size_t>(state.range(0)));
  const std::u16string wide = kivo::DecodeAnsi(text);
  for (auto _ : state) {
    benchmark::DoNotOptimize(kivo::WideToAnsi(wide));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_WideToAnsi)->Arg(64)->Arg(64 << 10);

}  // namespace

BENCHMARK_MAIN();
