#pragma once

// What the patrol tests share: a view that writes down what the worker shows,
// and a fixture with a program folder of its own, a save folder, a loopback
// server to script pages on, and the entries to patrol.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/ProgramHome.h"
#include "common/StoredSettings.h"
#include "httpserver/TestHttpServer.h"
#include "patrol/EntryUpdate.h"
#include "patrol/PatrolList.h"
#include "patrol/PatrolRunning.h"
#include "patrol/PatrolWorker.h"
#include "platform/Utf8.h"
#include "urllist/UrlList.h"

namespace kivo {

// Shows a stop message in a failed expectation.
inline void PrintTo(const PatrolError& error, std::ostream* os) {
  *os << "{kind " << static_cast<int>(error.Kind) << ", " << platform::Utf8FromUtf16(error.Folder)
      << ", errno " << error.SystemError << "}";
}

}  // namespace kivo

namespace kivo::test {

inline constexpr const char* kMonday = "Mon, 07 Dec 2026 10:00:00 GMT";
inline constexpr SystemTime kMondayTime{2026, 12, 1, 7, 10, 0, 0, 0};

// Writes down every call of the worker, in order, one line each, and applies
// entry updates at once (the command line's way). onUrl may act when a URL
// is shown.
class RecordingView : public PatrolView {
 public:
  void SetTitle(std::u16string_view name) override { Add("title " + Utf8(name)); }
  void SetUrl(std::u16string_view url) override {
    Add("url " + Utf8(url));
    if (onUrl) {
      onUrl(Utf8(url));
    }
  }
  void SetState(PatrolState state) override {
    lastState = state;
    Add("state " + std::to_string(static_cast<int>(state)));
  }
  void SetBytes(std::optional<ByteCount> count) override {
    Add(count ? "bytes " + std::to_string(count->Received) + "/" +
                    std::to_string(count->Total.value_or(-1))
              : "bytes");
  }
  void SetPercent(int32_t percent) override { Add("percent " + std::to_string(percent)); }
  void ShowError(const PatrolError& error) override {
    errors.push_back(error);
    Add("error " + Utf8(error.Folder));
  }
  void UpdateEntry(UrlEntry& entry, const EntryUpdate& update) override {
    Add("update " + std::to_string(entry.ListIndex) + " " + Utf8(update.LocalFile.View()));
    ApplyEntryUpdate(entry, update);
  }
  void Finished() override { Add("finished"); }

  // The calls that begin with `kind` and a blank, without them.
  std::vector<std::string> Calls(const std::string& kind) const {
    std::vector<std::string> found;
    for (const std::string& call : calls) {
      if (call == kind || call.starts_with(kind + " ")) {
        found.push_back(call.substr(std::min(call.size(), kind.size() + 1)));
      }
    }
    return found;
  }

  std::vector<std::string> calls;
  std::vector<PatrolError> errors;
  std::optional<PatrolState> lastState;
  std::function<void(const std::string&)> onUrl;

 private:
  void Add(std::string call) { calls.push_back(std::move(call)); }
};

// A program folder, a settings file whose save folder is "save" in the test's
// folder, a loopback server to script pages on, and patrols over entries of it.
class PatrolHarness : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.IsListening());
    std::filesystem::create_directories(Save());
    Store(Setting::SaveFolder, U16(Save() + "/"));
    limits_.FreeSpace = [this](std::u16string_view) { return std::optional<uint64_t>(free_); };
  }

  std::string Save() const { return home_.File("save"); }
  std::string SaveFile(const std::string& name) const { return Save() + "/" + name; }

  // Serves `body` at `path`, with a Last-Modified header unless it is nothing.
  void Page(const std::string& path, const std::string& body,
            std::optional<std::string> lastModified = kMonday) {
    ScriptedResponse response = ScriptedResponse::Ok(body);
    if (lastModified) {
      response.Headers.emplace_back("Last-Modified", *lastModified);
    }
    server_.Script(path, std::move(response));
  }
  void Image(const std::string& path) { Page(path, "GIF89a\x01\x00\x01\x00"); }

  // Adds a user entry for `path` on the server, without images.
  UrlEntry& Add(const std::string& path, int32_t level = 0, const std::string& name = "") {
    UrlEntry& entry = *entries_.Add(std::make_unique<UrlEntry>());
    entry.ListIndex = entries_.Count() - 1;
    entry.Name.Assign(U16(name));
    entry.Url.Assign(server_.WideUrl(path));
    entry.LinkLevel = level;
    entry.GetImages = 0;
    return entry;
  }
  // Runs one patrol over every entry added so far, on this thread.
  int32_t Patrol() {
    list_ = std::make_unique<PatrolList>();
    for (UrlEntry* entry : entries_) {
      list_->Add(entry);
    }
    PatrolRunning.store(kPatrolGoing);
    return RunPatrol(PatrolParams{&view_, list_.get(), &limits_, &report_});
  }

  // The request targets since the last ForgetRequests, in order.
  std::vector<std::string> Targets() const {
    std::vector<std::string> targets;
    for (const RecordedRequest& request : server_.Requests()) {
      targets.push_back(request.Target);
    }
    targets.erase(targets.begin(), targets.begin() + std::min(forgotten_, targets.size()));
    return targets;
  }
  void ForgetRequests() { forgotten_ = server_.RequestCount(); }
  // The names in `folder` (the save folder by default), sorted.
  std::vector<std::string> Names(const std::string& folder = "") const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& item :
         std::filesystem::directory_iterator(folder.empty() ? Save() : folder, error)) {
      names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // The numbered download files in the program folder.
  std::vector<std::string> Temporaries() const {
    std::vector<std::string> names = Names(home_.Program());
    std::erase_if(names, [](const std::string& name) { return !name.starts_with("Kivo0"); });
    return names;
  }

  ProgramHome home_;
  TestHttpServer server_;
  size_t forgotten_ = 0;
  UrlList entries_;
  std::unique_ptr<PatrolList> list_;
  RecordingView view_;
  PatrolLimits limits_;
  PatrolReport report_;
  std::atomic<uint64_t> free_{uint64_t{1} << 40};
};

// The worker's own patrols: one request at a time, so that the server sees
// the patrol's own order.
class PatrolTest : public PatrolHarness {
 protected:
  void SetUp() override {
    PatrolHarness::SetUp();
    Store(Setting::Connections, 1);
  }
};

}  // namespace kivo::test
