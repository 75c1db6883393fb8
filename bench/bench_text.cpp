// Measures the visible text of a page and the diff of two versions of it:
// two 1 MB pages of a Japanese news site, the second with a few paragraphs
// changed, added and removed and its markup churned; pairs that the diff
// must cut off (every line changed, every line moved); and the text of
// hostile pages, whose throughput shows that the work stays linear.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "html/PageText.h"
#include "html/TextDiff.h"
#include "platform/CodePage.h"

namespace {

// "日本語のページです。写真とリンクがあります。" in Shift-JIS.
const std::string kJapanese =
    "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x79\x81\x5b\x83\x57\x82\xc5\x82\xb7\x81\x42"
    "\x8e\xca\x90\x5e\x82\xc6\x83\x8a\x83\x93\x83\x4e\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb7"
    "\x81\x42";

constexpr size_t kPageBytes = size_t{1} << 20;

// One paragraph of the page; `edition` changes the words of every 100th
// paragraph and the markup of all of them.
std::string Paragraph(int n, int edition) {
  const std::string nonce = std::to_string(n * 7919 + edition);
  std::string words = "No." + std::to_string(n) + " " + kJapanese + " news item " +
                      std::to_string(n % 97) + " " + kJapanese;
  if (edition > 0 && n % 100 == 0) {
    words += " updated " + std::to_string(edition);
  }
  return "<div class=item data-n=" + nonce + "><h3><a href='/a/" + std::to_string(n) +
         "?t=" + nonce + "'>Title " + std::to_string(n) + "</a></h3>\n<p>" + words +
         "&nbsp;&copy; <img src=p.gif alt='photo'> <b>" + kJapanese + "</b></p>\n<!-- ad " + nonce +
         " --><script nonce=" + nonce + ">show(" + std::to_string(n) + ")</script></div>\n";
}

// A page of about 1 MB. Edition 1 changes every 100th paragraph, drops
// every 250th and adds one after every 300th.
std::string Page(int edition) {
  std::string page = "<html><head><title>News</title><style>p{margin:0}</style></head><body>\n";
  for (int n = 0; page.size() < kPageBytes; ++n) {
    if (edition > 0 && n % 250 == 0) {
      continue;
    }
    page += Paragraph(n, edition);
    if (edition > 0 && n % 300 == 0) {
      page += "<p>inserted " + std::to_string(n) + "</p>\n";
    }
  }
  return page + "</body></html>\n";
}

const kivo::platform::CodePage& Cp932() {
  static const kivo::platform::CodePage codePage("CP932");
  return codePage;
}

void BM_PageText_1MB(benchmark::State& state) {
  const std::string page = Page(0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(kivo::ExtractPageText(page, Cp932()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_PageText_1MB)->Unit(benchmark::kMillisecond);

// The whole comparison of two 1 MB pages: both texts and their diff.
void BM_PageTextAndDiff_1MB(benchmark::State& state) {
  const std::string before = Page(0);
  const std::string after = Page(1);
  for (auto _ : state) {
    const kivo::TextDiff diff = kivo::DiffTexts(kivo::ExtractPageText(before, Cp932()),
                                                kivo::ExtractPageText(after, Cp932()));
    if (diff.Status != kivo::TextDiffStatus::Compared) {
      state.SkipWithError("the pages were not compared");
    }
    benchmark::DoNotOptimize(diff);
  }
}
BENCHMARK(BM_PageTextAndDiff_1MB)->Unit(benchmark::kMillisecond);

void BM_DiffTexts_1MB(benchmark::State& state) {
  const std::u16string before = kivo::ExtractPageText(Page(0), Cp932());
  const std::u16string after = kivo::ExtractPageText(Page(1), Cp932());
  size_t hunks = 0;
  for (auto _ : state) {
    hunks = kivo::DiffTexts(before, after).Hunks.size();
  }
  state.counters["hunks"] = static_cast<double>(hunks);
}
BENCHMARK(BM_DiffTexts_1MB)->Unit(benchmark::kMillisecond);

// Pairs that cannot be compared within the bounds: every line changed
// (refused at once), and every line moved (refused when the work runs out).
void BM_DiffTexts_CutOff(benchmark::State& state) {
  const std::u16string before = kivo::ExtractPageText(Page(0), Cp932());
  std::vector<std::u16string> lines;
  for (size_t at = 0; at < before.size();) {
    const size_t end = std::min(before.find(u'\n', at), before.size());
    lines.emplace_back(before.substr(at, end - at));
    at = end + 1;
  }
  if (state.range(0) == 0) {
    for (std::u16string& line : lines) {
      line += u" changed";
    }
  } else {
    std::shuffle(lines.begin(), lines.end(), std::mt19937(42));
  }
  std::u16string after;
  for (const std::u16string& line : lines) {
    after += line + u"\n";
  }
  for (auto _ : state) {
    if (kivo::DiffTexts(before, after).Status != kivo::TextDiffStatus::TooDifferent) {
      state.SkipWithError("the pair was compared");
    }
  }
  state.counters["lines"] = static_cast<double>(lines.size());
}
BENCHMARK(BM_DiffTexts_CutOff)->ArgName("moved")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Hostile pages of 16 MB: a single line of Japanese text, unterminated
// references, bytes that do not decode, tags that never end, and raw-text
// end tags that never match.
std::string HostilePage(int64_t kind) {
  constexpr size_t kBytes = size_t{16} << 20;
  const std::string pieces[] = {kJapanese, "&frac1&#x&aaaaaaaaaaaa", "\xff\xfe\x80",
                                "<a b='c' d=e ", "</scrip</styl</"};
  const std::string& piece = pieces[kind];
  std::string page = kind == 4 ? "<script>" : "";
  while (page.size() < kBytes) {
    page += piece;
  }
  return page;
}

void BM_PageText_Hostile(benchmark::State& state) {
  const std::string page = HostilePage(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(kivo::ExtractPageText(page, Cp932()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_PageText_Hostile)->ArgName("kind")->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
