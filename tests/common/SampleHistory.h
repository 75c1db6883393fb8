#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "common/HistoryChecks.h"
#include "common/TempDir.h"
#include "patrol/PatrolHistory.h"
#include "urllist/UrlListFile.h"

// A list whose entries have copies and a history, written as patrols would
// have left them, for the readers of the history.
namespace kivo::test {

inline constexpr int64_t kDay = 86400000;

// Records `patrols` (the checks of each, the first one's time its start)
// into the program folder's history.
inline void WriteHistory(const std::vector<std::vector<HistoryCheck>>& patrols,
                         PatrolTrigger trigger = PatrolTrigger::Cli) {
  PatrolHistory history(HistoryAccess::Write, PatrolHistory::DefaultPath(), kNow);
  for (const std::vector<HistoryCheck>& checks : patrols) {
    history.BeginPatrol(checks.front().CheckedAt, trigger);
    for (const HistoryCheck& check : checks) {
      history.Record(check);
    }
    history.FinishPatrol(checks.front().CheckedAt + 500);
  }
}

// The program folder `folder` (with its final "/") with two entries:
//  1 "News": copies news.html (the first), newsA.html and newsB.html, stored
//    on days 0, 2 and 4 with the texts kNewsA, kNewsB and kNewsC; day 1
//    found it unchanged by a 304, day 3 failed with a 503, day 5 found the
//    same content.
//  2 "Old": its copy old.html predates the history; day 4 stored oldA.html
//    after it, and day 5 found it unchanged by its Last-Modified time.
// Day 0 is kNow, and each day's patrol was one of its own.
inline constexpr const char* kNewsA = "<title>News</title><p>Tokyo: rain</p><p>Osaka: sun</p>";
inline constexpr const char* kNewsB = "<title>News</title><p>Tokyo: snow</p><p>Osaka: sun</p>";
inline constexpr const char* kNewsC =
    "<title>News</title><p>Tokyo: snow</p><p>Osaka: sun</p><p>Nagoya: wind</p>";

inline void WriteSampleHistory(const std::string& folder) {
  std::filesystem::create_directories(folder);
  const std::string news = "http://h/news.html";
  const std::string old = "http://h/old.html";
  const auto stored = [&](int64_t at, const std::string& url, const std::string& name,
                          const std::string& text, const std::string& follows) {
    WriteBytes(folder + name, text);
    HistoryCheck check = Check(at, url, CheckOutcome::Stored, folder + name,
                               follows.empty() ? "" : folder + follows);
    check.StoredSize = text.size();
    return check;
  };
  const auto unchanged = [&](int64_t at, const std::string& url, CheckOutcome outcome,
                             const std::string& follows) {
    return Check(at, url, outcome, {}, folder + follows);
  };
  HistoryCheck failed = unchanged(kNow + 3 * kDay, news, CheckOutcome::Failed, "newsA.html");
  failed.Failure = CheckFailure::HttpStatus;
  failed.HttpStatus = 503;
  WriteBytes(folder + "old.html", "<p>before</p>");
  WriteHistory(
      {{stored(kNow, news, "news.html", kNewsA, "")},
       {unchanged(kNow + kDay, news, CheckOutcome::NotModified, "news.html")},
       {stored(kNow + 2 * kDay, news, "newsA.html", kNewsB, "news.html")},
       {failed},
       {stored(kNow + 4 * kDay, news, "newsB.html", kNewsC, "newsA.html"),
        stored(kNow + 4 * kDay + 1000, old, "oldA.html", "<p>after</p>", "old.html")},
       {unchanged(kNow + 5 * kDay, news, CheckOutcome::SameContent, "newsB.html"),
        unchanged(kNow + 5 * kDay + 1000, old, CheckOutcome::UnchangedLastModified, "oldA.html")}});
  UrlList list;
  for (const auto& [name, url, file] :
       {std::tuple{u"News", news, "newsB.html"}, std::tuple{u"Old", old, "oldA.html"}}) {
    auto entry = std::make_unique<UrlEntry>();
    entry->Name.Assign(name);
    entry->Url.Assign(U16(url));
    entry->LocalFile.Assign(U16(folder + file));
    entry->Status = 1;
    list.Add(std::move(entry));
  }
  UrlListFile::InProgramFolder().Save(list);
}

}  // namespace kivo::test
