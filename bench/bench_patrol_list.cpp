// The patrol's bookkeeping must grow linearly with the pages of a patrol:
// inserting the followed links right after the current entry, the
// "already in the list" and "already fetched" tests that admit them, and the
// records of the stored pages.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "html/FetchedFile.h"
#include "html/FetchedFileList.h"
#include "patrol/FetchedUrlList.h"
#include "patrol/PatrolList.h"
#include "platform/Utf8.h"

namespace kivo {
namespace {

std::u16string PageUrl(int64_t i) {
  return platform::Utf16FromUtf8("http://127.0.0.1/p" + std::to_string(i) + ".html");
}

// Walks a patrol of n pages in which every page links to ten new ones (until
// n are known), testing each link against the list and the fetched URLs as
// the admission test does.
void BM_DepthFirstPatrolBookkeeping(benchmark::State& state) {
  const int64_t pages = state.range(0);
  for (auto _ : state) {
    UrlEntry root;
    root.Url.Assign(PageUrl(0));
    PatrolList list;
    list.Add(&root);
    FetchedUrlList fetched;
    FetchedFileList pageFiles;
    int64_t known = 1;
    for (int32_t i = 0; i < list.Count(); ++i) {
      fetched.Add(list[i]->Url.View());
      pageFiles.Add(std::make_unique<FetchedFile>(FetchedFile{list[i]->Url, list[i]->Url}));
      int32_t inserted = 0;
      for (int link = 0; link < 10 && known < pages; ++link) {
        const std::u16string url = PageUrl(known);
        if (list.ContainsUrl(url) || fetched.Contains(url)) {
          continue;
        }
        auto entry = std::make_unique<UrlEntry>();
        entry->Url.Assign(url);
        list.InsertTemporary(i + inserted + 1, std::move(entry));
        ++inserted;
        ++known;
      }
      // A link back to the root, which both tests must reject.
      benchmark::DoNotOptimize(list.ContainsUrl(PageUrl(0)));
    }
    list.RemoveTemporaries();
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetComplexityN(pages);
  state.SetItemsProcessed(state.iterations() * pages);
}
BENCHMARK(BM_DepthFirstPatrolBookkeeping)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
}  // namespace kivo

BENCHMARK_MAIN();
