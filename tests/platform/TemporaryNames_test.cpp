// The sweep of stale temporary files: only leftovers of gone writers go.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/TempDir.h"
#include "platform/AtomicFile.h"
#include "platform/KeptNames.h"
#include "platform/TemporaryNames.h"
#include "platform/UniqueFd.h"

namespace kivo::platform {
namespace {

namespace fs = std::filesystem;

// A killed run: a child process creates a temporary file beside each target
// and dies without removing them.
void DeadWriterCreates(const std::vector<std::string>& targets) {
  const pid_t child = ::fork();
  if (child == 0) {
    for (const std::string& target : targets) {
      static_cast<void>(CreateSiblingFile(target).File.Reset());
    }
    ::_exit(0);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_EQ(status, 0);
}

// The path of the one temporary file beside `target`.
std::string Leftover(const std::string& target) {
  const fs::path path(target);
  for (const fs::directory_entry& entry : fs::directory_iterator(path.parent_path())) {
    if (entry.path().filename().string().starts_with(path.filename().string() + ".tmp-")) {
      return entry.path().string();
    }
  }
  return "";
}

// `path` with field `index` of its name's "-"-separated tail replaced.
std::string WithField(const std::string& path, size_t index, const std::string& value) {
  size_t begin = path.rfind(".tmp-") + 5;
  for (size_t i = 0; i < index; ++i) {
    begin = path.find('-', begin) + 1;
  }
  const size_t end = path.find('-', begin);
  return path.substr(0, begin) + value + (end == std::string::npos ? "" : path.substr(end));
}

struct Row {
  const char* Name;
  std::string Path;
  bool Kept;
};

TEST(TemporaryNames, SweepRemovesOnlyLeftoversOfGoneWriters) {
  const test::TempDir dir;
  const std::string swept = dir.File("swept");
  const std::string other = dir.File("other");
  fs::create_directories(swept + "/sub");
  fs::create_directories(other);
  DeadWriterCreates(
      {swept + "/a.html", swept + "/locked.html", swept + "/sub/a.html", other + "/a.html"});
  ASSERT_FALSE(HasFatalFailure());
  const std::string dead = Leftover(swept + "/a.html");
  ASSERT_FALSE(dead.empty());
  // A live writer's file, closed: only its writer's process vouches for it.
  SiblingFile live = CreateSiblingFile(swept + "/Kivo.dat");
  ASSERT_TRUE(live.File.Reset());
  const UniqueFd lock(::open(Leftover(swept + "/locked.html").c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_EQ(::flock(lock.Get(), LOCK_EX), 0);
  const std::string otherBoot =
      WithField(dead, 2, dead.find("-ffffffff-") == std::string::npos ? "ffffffff" : "eeeeeeee");
  fs::create_directory(WithField(dead, 3, "folder"));
  for (const std::string& made :
       {WithField(live.HostPath, 1, "1"), otherBoot, dead + "x", WithField(dead, 3, "ABCDEF"),
        swept + "/Kivo.dat.tmp-ab12cd34", swept + dead.substr(dead.rfind(".tmp-"))}) {
    ASSERT_TRUE(test::WriteBytes(made, "x"));
  }

  const std::vector<Row> rows = {
      {"DeadWritersLeftover", dead, false},
      {"PidNowOfAnotherProcess", WithField(live.HostPath, 1, "1"), false},
      {"LiveWritersFile", live.HostPath, true},
      {"LockedByAWriterElsewhere", Leftover(swept + "/locked.html"), true},
      {"AnotherBootChangedSince", otherBoot, true},
      {"LookalikeLongerTail", dead + "x", true},
      {"LookalikeCapitals", WithField(dead, 3, "ABCDEF"), true},
      {"EarlierVersionsName", swept + "/Kivo.dat.tmp-ab12cd34", true},
      {"NoTargetName", swept + dead.substr(dead.rfind(".tmp-")), true},
      {"FolderWithADeadName", WithField(dead, 3, "folder"), true},
      {"Subfolder", Leftover(swept + "/sub/a.html"), true},
      {"OtherFolder", Leftover(other + "/a.html"), true},
  };
  RemoveStaleTemporaries(test::U16(swept + "/"));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    ASSERT_FALSE(row.Path.empty());
    EXPECT_EQ(fs::exists(row.Path), row.Kept);
  }
  // A stored page never takes such a name, or the sweep could remove it.
  EXPECT_TRUE(
      KeptNames(test::U16(other)).Contains(test::U16(fs::path(live.HostPath).filename().string())));
}

// A file whose name is near the file system's 255-byte limit still gets a
// temporary beside it, so its durable replacement never fails for the name.
TEST(TemporaryNames, LongTargetNamesStillGetATemporary) {
  test::TempDir dir;
  const std::string name = std::string(246, 'a') + "\u3042.html";  // 254 bytes
  ASSERT_TRUE(ReplaceFileAtomically(dir.Wide(name), "page"));
  const std::string temporary = TemporaryNameFor(dir.Path() + "/" + name);
  const std::string bare = temporary.substr(temporary.rfind('/') + 1);
  EXPECT_LE(bare.size(), 255u);
  EXPECT_TRUE(IsTemporaryName(bare));
}

}  // namespace
}  // namespace kivo::platform
