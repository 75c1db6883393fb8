// Measures the patrol history: recording a patrol of 10,000 URLs under three commit policies,
// and opening and asking a history of 100 patrols.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "common/TempDir.h"
#include "patrol/PatrolHistory.h"

namespace {

using kivo::CheckedKind;
using kivo::CheckOutcome;
using kivo::HistoryAccess;
using kivo::HistoryCheck;
using kivo::HistoryOptions;
using kivo::PatrolHistory;
using kivo::test::U16;

constexpr int64_t kStart = 1796638500000;  // 2026-12-07 10:15:00 UTC
constexpr int kEntries = 50;               // user entries per patrol; the rest are images

std::string Number(int value) {
  return std::to_string(value);
}

// Check `index` of patrol `patrol`, shaped like a real one: an entry's page that changes
// every other patrol, or an image that was stored in the first patrol and is reused on a 304
// ever after. Each check is one millisecond after the one before.
HistoryCheck MakeCheck(int patrol, int index) {
  HistoryCheck check;
  check.CheckedAt = kStart + patrol * 3600000LL + index;
  check.ETag = "\"5f3a-" + Number(patrol) + "-" + Number(index) + "\"";
  check.LastModified = kivo::SystemTime{2026, 12, 1, 7, 10, 15, 0, 0};
  check.BodyDigest = kivo::platform::ContentDigest::Of(check.ETag);
  check.BytesReceived = 20000;
  const bool entry = index < kEntries;
  const std::string site = "https://www.example.jp/news/section" + Number(index % 97) + "/";
  const std::string folder = "/home/user/Kivo/save/";
  const auto copy = [&](int at) { return folder + "page" + Number(index) + "-" + Number(at); };
  check.Kind = entry ? CheckedKind::EntryPage : CheckedKind::Image;
  check.Url = U16(site + (entry ? "index" + Number(index) + ".html" : "img" + Number(index)));
  if (entry) {
    check.TextDigest = check.BodyDigest;
    const bool changed = patrol % 2 == 0;
    check.Outcome = changed ? CheckOutcome::Stored : CheckOutcome::SameContent;
    check.StoredPath = changed ? U16(copy(patrol)) : u"";
    check.FollowsPath = patrol == 0 ? u"" : U16(copy(changed ? patrol - 2 : patrol - 1));
  } else {
    check.Outcome = patrol == 0 ? CheckOutcome::Stored : CheckOutcome::NotModified;
    check.StoredPath = U16(copy(patrol));
    check.FollowsPath = patrol > 0 ? U16(copy(patrol - 1)) : u"";
  }
  check.StoredSize = check.StoredPath.empty() ? std::nullopt : std::optional<uint64_t>(20000);
  check.StoredModified = check.StoredSize ? std::optional<int64_t>(check.CheckedAt) : std::nullopt;
  return check;
}

void RecordPatrol(PatrolHistory& history, int patrol, int urls) {
  history.BeginPatrol(kStart + patrol * 3600000LL, kivo::PatrolTrigger::Scheduled);
  for (int index = 0; index < urls; ++index) {
    history.Record(MakeCheck(patrol, index));
  }
  history.FinishPatrol(kStart + patrol * 3600000LL + urls);
}

// Records patrols of 10,000 URLs into one history; the argument is the commit policy:
// checks per transaction, where 0 means one transaction per patrol.
void BM_RecordPatrol(benchmark::State& state) {
  constexpr int kUrls = 10000;
  kivo::test::TempDir dir;
  HistoryOptions options;
  options.CommitEvery = state.range(0) == 0 ? kUrls + 1 : static_cast<uint32_t>(state.range(0));
  options.CommitInterval = state.range(0) == 0 ? INT64_MAX : options.CommitInterval;
  PatrolHistory history(HistoryAccess::Write, dir.Wide("KivoHistory.db"), kStart, options);
  int patrol = 0;
  for (auto _ : state) {
    RecordPatrol(history, patrol++, kUrls);
  }
  if (history.State() != kivo::HistoryState::Writable) {
    state.SkipWithError("the history stopped writing");
  }
  state.SetItemsProcessed(state.iterations() * kUrls);
  state.counters["db_MB"] =
      static_cast<double>(std::filesystem::file_size(dir.File("KivoHistory.db")) +
                          std::filesystem::file_size(dir.File("KivoHistory.db-wal"))) /
      1e6;
}
BENCHMARK(BM_RecordPatrol)->Arg(1)->Arg(256)->Arg(0)->Unit(benchmark::kMillisecond);

// A history of 100 patrols of `urls` URLs each, built once per size.
const std::u16string& History(int urls) {
  static std::map<int, std::unique_ptr<kivo::test::TempDir>> folders;
  static std::map<int, std::u16string> paths;
  if (!paths.contains(urls)) {
    folders[urls] = std::make_unique<kivo::test::TempDir>();
    paths[urls] = folders[urls]->Wide("KivoHistory.db");
    PatrolHistory history(HistoryAccess::Write, paths[urls], kStart);
    for (int patrol = 0; patrol < 100; ++patrol) {
      RecordPatrol(history, patrol, urls);
    }
  }
  return paths[urls];
}

// Opening for a patrol includes the quick check of the whole file.
void BM_OpenForPatrol(benchmark::State& state) {
  const std::u16string& path = History(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    PatrolHistory history(HistoryAccess::Write, path, kStart);
    benchmark::DoNotOptimize(history.State());
  }
  state.counters["db_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(BM_OpenForPatrol)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_OpenForReading(benchmark::State& state) {
  const std::u16string& path = History(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    PatrolHistory history(HistoryAccess::Read, path, kStart);
    benchmark::DoNotOptimize(history.State());
  }
}
BENCHMARK(BM_OpenForReading)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Runs `query` on a reader of the history of `urls` URLs per patrol; it returns how many
// records it found, which must not be 0.
template <typename Query>
void RunQuery(benchmark::State& state, Query query) {
  PatrolHistory history(HistoryAccess::Read, History(static_cast<int>(state.range(0))), kStart);
  size_t found = 0;
  for (auto _ : state) {
    found = query(history.Queries());
    benchmark::DoNotOptimize(found);
  }
  state.counters["found"] = static_cast<double>(found);
  if (found == 0) {
    state.SkipWithError("the query found nothing");
  }
}

// The content test: the record of an entry's current copy.
void BM_CopyAt(benchmark::State& state) {
  RunQuery(state, [](kivo::HistoryQueries& q) {
    return q.CopyAt(u"/home/user/Kivo/save/page7-98") ? size_t{1} : 0;
  });
}
// The image reuse: the newest copy of an image.
void BM_LatestCopyOf(benchmark::State& state) {
  RunQuery(state, [](kivo::HistoryQueries& q) {
    return q.LatestCopyOf(u"https://www.example.jp/news/section60/img60", CheckedKind::Image)
               ? size_t{1}
               : 0;
  });
}
// An entry's 50 copies, walked back.
void BM_CopyChain(benchmark::State& state) {
  RunQuery(state, [](kivo::HistoryQueries& q) {
    return q.CopyChain(u"/home/user/Kivo/save/page7-98", 1000).size();
  });
}
// kivo-cli history: an entry's 100 checks.
void BM_EntryHistory(benchmark::State& state) {
  RunQuery(state, [](kivo::HistoryQueries& q) {
    return q
        .EntryHistory(u"https://www.example.jp/news/section7/index7.html",
                      u"/home/user/Kivo/save/page7-98", 1000)
        .size();
  });
}
// kivo-cli log 10: the last ten patrols with their 50 entries each.
void BM_RecentPatrols(benchmark::State& state) {
  RunQuery(state, [](kivo::HistoryQueries& q) {
    size_t found = 0;
    for (const kivo::PatrolLog& log : q.RecentPatrols(10)) {
      found += log.Entries.size();
    }
    return found;
  });
}
BENCHMARK(BM_CopyAt)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LatestCopyOf)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CopyChain)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EntryHistory)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RecentPatrols)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
