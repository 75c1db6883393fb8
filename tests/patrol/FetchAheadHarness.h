#pragma once

// What the fetch-ahead tests share: patrols of copies of the entries at any
// connection count, the comparison of what they left, and a seeded site.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "patrol/PatrolHarness.h"
#include "patrol/PatrolThread.h"
#include "urllist/UrlListFile.h"

namespace kivo::test {

inline constexpr uint64_t kMiB = uint64_t{1} << 20;

// What one patrol left behind.
struct Result {
  std::map<std::string, std::string> Files;  // the save folder, name by name
  std::string List;                          // the list file's bytes
  std::vector<std::string> Calls;
  // The requests, sorted: each target with the validators it carried.
  std::vector<std::string> Requests;
};

// Whether the requests of each connection count must be those of one connection.
enum class SameRequests { No, Yes };

// Where a patrol of copies starts: from an empty save folder and no history,
// or from what the test left there.
enum class Start { Afresh, AsLeft };

// Copies the files of `from` into `to`, emptied first, with their
// modification times, which tell a patrol whether a stored copy is as stored.
inline void CopyFiles(const std::string& from, const std::string& to) {
  std::filesystem::remove_all(to);
  std::filesystem::create_directories(to);
  for (const auto& item : std::filesystem::directory_iterator(from)) {
    const std::filesystem::path target = std::filesystem::path(to) / item.path().filename();
    std::filesystem::copy_file(item.path(), target);
    std::filesystem::last_write_time(target, item.last_write_time());
  }
}

// The requests of `result` without repeats.
inline std::set<std::string> Distinct(const Result& result) {
  return std::set<std::string>(result.Requests.begin(), result.Requests.end());
}

// Names a request by its target and the validators it carried, so that a
// conditional request differs from a plain one.
inline std::string Described(const RecordedRequest& request) {
  std::string described = request.Target;
  for (const char* name : {"If-None-Match", "If-Modified-Since"}) {
    if (const std::optional<std::string> value = request.Header(name)) {
      described += std::string(" ") + name + ": " + *value;
    }
  }
  return described;
}

class PatrolFetchAhead : public PatrolHarness {
 protected:
  // Patrols copies of the entries with `connections`, on a thread of its own
  // as the dialog runs it.
  Result PatrolCopies(uint32_t connections, Start start = Start::Afresh) {
    if (beforeEach_) {
      beforeEach_(connections);
    }
    const size_t before = server_.RequestCount();
    Store(Setting::Connections, connections);
    if (start == Start::Afresh) {
      std::filesystem::remove_all(Save());
      std::filesystem::create_directories(Save());
      std::filesystem::remove(History());
    }
    UrlList copies;
    PatrolList patrol;
    for (const UrlEntry* entry : entries_) {
      patrol.Add(copies.Add(entry->Clone()));
    }
    RecordingView view;
    view.onUrl = onUrl_;
    PatrolThread thread;
    EXPECT_TRUE(thread.Start(PatrolParams{&view, &patrol, &limits_}));
    EXPECT_EQ(thread.Join(), kPatrolDone);
    Result result;
    for (const std::string& name : Names()) {
      result.Files[name] = ReadBytes(SaveFile(name));
    }
    result.List = UrlListFile::Encode(copies);
    result.Calls = std::move(view.calls);
    const std::vector<RecordedRequest> requests = server_.Requests();
    for (size_t i = before; i < requests.size(); ++i) {
      result.Requests.push_back(Described(requests[i]));
    }
    std::sort(result.Requests.begin(), result.Requests.end());
    return result;
  }

  // Patrols with one connection, then with 2, 4 and 16, and expects each to
  // store and report the same, never holding more requests in flight than
  // its connections nor leaving a temporary file behind. Each starts from
  // `start`.
  Result ExpectTheSameAtEveryCount(SameRequests sameRequests, Start start = Start::Afresh) {
    const Result one = PatrolCopies(1, start);
    EXPECT_TRUE(Temporaries().empty());
    for (uint32_t connections : {2u, 4u, 16u}) {
      SCOPED_TRACE(connections);
      server_.ResetPeakWaiting();
      const Result many = PatrolCopies(connections, start);
      EXPECT_LE(server_.PeakWaiting(), connections);
      EXPECT_TRUE(Temporaries().empty());
      EXPECT_EQ(many.List, one.List);
      EXPECT_EQ(many.Calls, one.Calls);
      EXPECT_EQ(many.Files.size(), one.Files.size());
      for (const auto& [name, bytes] : one.Files) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(many.Files.contains(name) && many.Files.at(name) == bytes);
      }
      if (sameRequests == SameRequests::Yes) {
        EXPECT_EQ(many.Requests, one.Requests);
      }
    }
    return one;
  }

  // The entries that patrol the seeded site of ScriptSite: a page listed
  // twice, an unchanged page, a redirect and a missing page among them.
  void AddSiteEntries() {
    Add("/p0.html", 3).GetImages = 1;
    UrlEntry& unchanged = Add("/p1.html", 2);
    unchanged.GetImages = 1;
    unchanged.HasLastTime = 1;
    unchanged.LastTime = kMondayTime;
    Add("/r4", 1);
    Add("/p0.html", 0).GetImages = 1;  // the same page twice: stored twice
    Add("/missing.html", 1).GetImages = 1;
    Add("/p17.html", 2).GetImages = 1;
  }

  // Serves `first` at `path`, held in every patrol of copies until `ahead(connections)` more
  // responses have ended (none with one connection), so that the entries after it arrive ahead
  // of their turn.
  void HoldFirstPage(const std::string& path, ScriptedResponse first,
                     std::function<size_t(uint32_t)> ahead) {
    beforeEach_ = [this, path, first, ahead](uint32_t connections) mutable {
      first.HoldName = path + std::to_string(connections);
      server_.Script(path, first);
      const size_t answered = server_.RequestCount() + (connections == 1 ? 0 : ahead(connections));
      releaser_ = std::async(std::launch::async, [this, hold = first.HoldName, answered] {
        server_.WaitForOutcomes(answered);
        server_.Release(hold);
      });
    };
  }

  // Puts the program folder's download files and the save folder on one disk of `total` bytes.
  void OnOneDisk(uint64_t total) {
    const std::string folders[] = {home_.Program(), Save()};
    limits_.FreeSpace = [folders, total](std::u16string_view) {
      std::set<ino_t> seen;  // a stored copy may be a second name of a download file
      uint64_t used = 0;
      for (const std::string& folder : folders) {
        for (const auto& item : std::filesystem::directory_iterator(folder)) {
          struct stat info {};
          const bool counted =
              folder == folders[1] || item.path().filename().string().starts_with("Kivo0");
          if (counted && ::stat(item.path().c_str(), &info) == 0 &&
              seen.insert(info.st_ino).second) {
            used += static_cast<uint64_t>(info.st_size);
          }
        }
      }
      return std::optional<uint64_t>(total - std::min(used, total));
    };
  }

  std::string History() const { return home_.Program() + "/KivoHistory.db"; }
  // Keeps the program folder (with the history) and the save folder as a first patrol left
  // them, for RestoreFirstPatrol.
  void KeepFirstPatrol() const {
    CopyFiles(home_.Program(), Kept());
    CopyFiles(Save(), Kept() + "/save");
  }
  // Puts the history and the save folder back as KeepFirstPatrol found them.
  void RestoreFirstPatrol() const {
    std::filesystem::copy_file(Kept() + "/KivoHistory.db", History(),
                               std::filesystem::copy_options::overwrite_existing);
    CopyFiles(Kept() + "/save", Save());
  }
  std::string Kept() const { return home_.File("kept"); }

  // Runs before each patrol, with its connection count.
  std::function<void(uint32_t)> beforeEach_;
  // Runs in the patrol when it shows a URL.
  std::function<void(const std::string&)> onUrl_;
  std::future<void> releaser_;
};

// A site made up from a fixed seed: pages with random cross-links, shared
// images (one large enough to go through a temporary file), frames,
// redirects, a binary file, links to an image, links that give 404, and an
// unchanged page. `validators` says how its pages and images (which then
// carry ETags) answer conditional requests. Each page is prepared for
// `delayMs` before its answer.
inline void ScriptSite(TestHttpServer& server, Conditions validators = Conditions::Ignored,
                       int delayMs = 0) {
  std::mt19937 random(14);
  const auto pick = [&random](int count) { return static_cast<int>(random() % count); };
  constexpr int kPages = 30;
  constexpr int kImages = 8;
  for (int i = 0; i < kImages; ++i) {
    const size_t size = i == 7 ? (3u << 19) : 200u + static_cast<size_t>(i) * 700u;
    ScriptedResponse image =
        ScriptedResponse::Ok("GIF89a" + std::string(size, static_cast<char>(i)));
    image.Headers.emplace_back("ETag", "\"i" + std::to_string(i) + "\"");
    image.Validators = validators;
    server.Script("/img" + std::to_string(i) + ".gif", image);
  }
  for (int i = 0; i < kPages; ++i) {
    std::string body = "<html><body>page " + std::to_string(i) + "\n";
    for (int n = pick(4); n > 0; --n) {
      body += "<img src=\"/img" + std::to_string(pick(kImages)) + ".gif\">\n";
    }
    if (i % 7 == 3) {
      body += "<frame src=\"f" + std::to_string(i) + ".html\">\n";
      server.Script(
          "/f" + std::to_string(i) + ".html",
          ScriptedResponse::Ok("<img src=img" + std::to_string(pick(kImages)) + ".gif><a href=p" +
                               std::to_string(pick(kPages)) + ".html>x</a>"));
    }
    for (int n = 1 + pick(4); n > 0; --n) {
      const int target = pick(kPages);
      switch (pick(6)) {
        case 0:
          body += "<a href=\"/r" + std::to_string(target) + "\">r</a>\n";
          break;
        case 1:
          body += "<a href=\"missing" + std::to_string(target) + ".html\">m</a>\n";
          break;
        default:
          body += "<a href=\"p" + std::to_string(target) + ".html\">p</a>\n";
          break;
      }
      server.Script("/r" + std::to_string(target),
                    ScriptedResponse::Redirect(302, "/p" + std::to_string(target) + ".html"));
    }
    if (i % 5 == 0) {
      body += "<a href=\"/data.zip\">zip</a><a href=\"/img1.gif\">an image as a link</a>\n";
    }
    ScriptedResponse page = ScriptedResponse::Ok(body + "</body></html>\n");
    page.Headers.emplace_back("Last-Modified", kMonday);
    page.HeaderDelayMs = delayMs;
    page.Validators = validators;
    server.Script("/p" + std::to_string(i) + ".html", page);
  }
  server.Script("/data.zip", ScriptedResponse::Ok(std::string("PK\3\4") + std::string(3000, 'z')));
}

}  // namespace kivo::test
