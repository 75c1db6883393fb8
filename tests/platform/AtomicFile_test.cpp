#include "platform/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/TempDir.h"
#include "platform/ReplacementFile.h"

namespace kivo::platform {
namespace {

// The host's calls, each step recorded, and the `failAt`-th step (counting
// from 1) made to fail without doing anything.
class FailingCalls {
 public:
  explicit FailingCalls(int failAt) : failAt_(failAt) {
    const DurableWriteCalls& host = DurableWriteCalls::Host();
    calls_.Write = [this, &host](int fd, const void* src, int64_t size) {
      return Step("write") && host.Write(fd, src, size);
    };
    calls_.Sync = [this, &host](int fd) { return Step("sync") && host.Sync(fd); };
    calls_.Rename = [this, &host](const std::string& from, const std::string& to) {
      return Step("rename") && host.Rename(from, to);
    };
    calls_.SyncFolder = [this, &host](const std::string& hostPath) {
      steps_ += "syncfolder " + hostPath;
      host.SyncFolder(hostPath);
    };
  }

  const DurableWriteCalls& Calls() const { return calls_; }
  const std::string& Steps() const { return steps_; }

 private:
  bool Step(const char* name) {
    steps_ += std::string(name) + " ";
    return ++count_ != failAt_;
  }

  int failAt_;
  int count_ = 0;
  std::string steps_;
  DurableWriteCalls calls_;
};

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

struct Case {
  const char* name;
  size_t bytes;  // of new contents; above ReplacementFile::kBlockSize they take two writes
  int failAt;    // the step that fails, 0 for none
  const char* steps;
};

TEST(AtomicFileTest, OldFileSurvivesEveryFailedStep) {
  constexpr size_t kTwoBlocks = ReplacementFile::kBlockSize + 1;
  const Case cases[] = {
      {"nothing fails", 3, 0, "write sync rename syncfolder "},
      {"write fails", 3, 1, "write "},
      {"second write fails", kTwoBlocks, 2, "write write "},
      {"sync fails", 3, 2, "write sync "},
      {"rename fails", 3, 3, "write sync rename "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string path = dir.File("list.dat");
    ASSERT_TRUE(test::WriteBytes(path, "old"));
    const std::string fresh(c.bytes, 'n');
    FailingCalls calls(c.failAt);
    EXPECT_EQ(ReplaceFileAtomically(test::U16(path), fresh, calls.Calls()), c.failAt == 0);
    EXPECT_EQ(test::ReadBytes(path), c.failAt == 0 ? fresh : "old");
    // The temporary file is gone, and the folder was synced after the rename.
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"list.dat"});
    EXPECT_EQ(calls.Steps(), c.steps + std::string(c.failAt == 0 ? path : ""));
  }
}

TEST(AtomicFileTest, KeepsPermissionsAndBackups) {
  test::TempDir dir;
  const std::string path = dir.File("f");
  ASSERT_TRUE(ReplaceFileAtomically(test::U16(path), "one"));
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(ReplaceFileAtomically(test::U16(path), "two"));
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_FALSE(ReplaceFileAtomically(test::U16(dir.File("missing/f")), "x"));

  ASSERT_TRUE(KeepBackupCopy(test::U16(path), test::U16(path + ".bak")));
  ASSERT_TRUE(ReplaceFileAtomically(test::U16(path), "three"));
  EXPECT_EQ(test::ReadBytes(path + ".bak"), "two");
}

}  // namespace
}  // namespace kivo::platform
