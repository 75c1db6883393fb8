#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/ScopedEnv.h"
#include "common/TempDir.h"
#include "httpserver/TestHttpServer.h"
#include "patrol/EntryUpdate.h"
#include "patrol/PatrolList.h"
#include "patrol/PatrolRunning.h"
#include "patrol/PatrolWorker.h"
#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo::test {

inline constexpr const char* kMonday = "Mon, 07 Dec 2026 10:00:00 GMT";

// Records what the worker shows, applies entry updates at once (the command
// line's way) and can act when a title or a URL is shown.
class RecordingView : public PatrolView {
 public:
  void SetTitle(std::u16string_view name) override {
    titles.push_back(Utf8(name));
    if (onTitle) {
      onTitle(titles.back());
    }
  }
  void SetUrl(std::u16string_view url) override {
    urls.push_back(Utf8(url));
    if (onUrl) {
      onUrl(urls.back());
    }
  }
  void SetState(std::u16string_view state) override { states.push_back(Utf8(state)); }
  void SetByteText(std::u16string_view) override {}
  void SetPercent(int32_t) override {}
  void ShowError(std::u16string_view message) override { errors.push_back(Utf8(message)); }
  void UpdateEntry(UrlEntry& entry, const EntryUpdate& update) override {
    ApplyEntryUpdate(entry, update);
    ++updates;
  }
  void Finished() override { ++finished; }
  std::string LastState() const { return states.empty() ? "" : states.back(); }

  std::vector<std::string> titles;
  std::vector<std::string> urls;
  std::vector<std::string> states;
  std::vector<std::string> errors;
  int updates = 0;
  int finished = 0;
  std::function<void(const std::string&)> onTitle;
  std::function<void(const std::string&)> onUrl;
};

// A program folder, a settings file whose save folder is "save" in the test's
// folder, a loopback server to script pages on, and patrols over entries of it.
class PatrolTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.IsListening());
    std::filesystem::create_directory(Save());
    WriteString(Setting::SaveFolder, Save() + "/");
    limits_.FreeSpace = [this](std::u16string_view) { return std::optional<uint64_t>(free_); };
  }

  std::string Save() const { return home_.File("save"); }
  std::string SaveFile(const std::string& name) const { return Save() + "/" + name; }
  void WriteString(Setting setting, const std::string& value) {
    RegKey key;
    key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath);
    WriteStringSetting(key, setting, U16(value));
  }
  void WriteDword(Setting setting, uint32_t value) {
    RegKey key;
    key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath);
    WriteDwordSetting(key, setting, value);
  }

  void Serve(const std::string& path, const std::string& body, const std::string& type,
             std::optional<std::string> lastModified = kMonday) {
    ScriptedResponse response = ScriptedResponse::Ok(body);
    response.Headers.emplace_back("Content-Type", type);
    if (lastModified) {
      response.Headers.emplace_back("Last-Modified", *lastModified);
    }
    server_.Script(path, std::move(response));
  }
  void Page(const std::string& path, const std::string& body,
            std::optional<std::string> lastModified = kMonday) {
    Serve(path, body, "text/html", std::move(lastModified));
  }
  void Image(const std::string& path) { Serve(path, "GIF89a\x01\x00\x01\x00", "image/gif"); }

  // Adds a user entry for `path` on the server, without images.
  UrlEntry& Add(const std::string& path, int32_t level = 0, const std::string& name = "") {
    entries_.push_back(std::make_unique<UrlEntry>());
    UrlEntry& entry = *entries_.back();
    entry.ListIndex = static_cast<int32_t>(entries_.size()) - 1;
    entry.Name.Assign(U16(name));
    entry.Url.Assign(server_.WideUrl(path));
    entry.LinkLevel = level;
    entry.GetImages = 0;
    return entry;
  }
  // Runs one patrol over every entry added so far, on this thread.
  int32_t Patrol() {
    list_ = std::make_unique<PatrolList>();
    for (const auto& entry : entries_) {
      list_->Add(entry.get());
    }
    PatrolRunning.store(kPatrolGoing);
    return RunPatrol(PatrolParams{&view_, list_.get(), &limits_});
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
  std::vector<std::string> SavedFiles() const {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(Save())) {
      names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir home_;
  ScopedEnv programFolder_{"KIVO_HOME", home_.File("prog")};
  ScopedEnv settingsFolder_{"XDG_CONFIG_HOME", home_.File("config")};
  TestHttpServer server_;
  size_t forgotten_ = 0;
  std::vector<std::unique_ptr<UrlEntry>> entries_;
  std::unique_ptr<PatrolList> list_;
  RecordingView view_;
  PatrolLimits limits_;
  std::atomic<uint64_t> free_{uint64_t{1} << 40};
};

}  // namespace kivo::test
