#include "patrol/PatrolWorker.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cerrno>
#include <future>
#include <ostream>

#include "common/ScopedEnv.h"
#include "patrol/PatrolHarness.h"
#include "platform/UniqueFd.h"

namespace kivo::test {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::UnorderedElementsAre;

// What ends or bounds a patrol: limits, a cancel, a full disk, and the files
// it leaves behind or must never write through.

TEST_F(PatrolTest, AnEndlessBodyOverMaxFileSizeStoresNothing) {
  Store(Setting::MaxFileSize, 1);
  ScriptedResponse endless = ScriptedResponse::Ok(std::string((1u << 20) + 1, 'x'));
  endless.Length = LengthHeader::Absent;
  endless.ChunkSize = 64 * 1024;
  server_.Script("/p.html", endless);
  UrlEntry& entry = Add("/p.html");

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_EQ(entry.Status, 0);
  EXPECT_EQ(entry.HasLastTime, 0);
  EXPECT_TRUE(std::filesystem::is_empty(Save()));
  EXPECT_TRUE(view_.errors.empty());
}

// ---- Cancel and abandon while a download is held in flight.

struct CancelCase {
  const char* Name;
  int32_t Flag;
  int GraceMs;
  bool Release;
  bool Stored;
  bool Last = false;  // the held page is the last of the patrol, without images

  friend void PrintTo(const CancelCase& c, std::ostream* os) { *os << c.Name; }
};

class CancelInFlight : public PatrolTest, public testing::WithParamInterface<CancelCase> {};

// The held page's image comes after the cancel, so it is never fetched; a
// stored page is still rewritten, and names the placeholder instead.
TEST_P(CancelInFlight, EndsTheDownloadOnlyAsTheRulesSay) {
  const CancelCase& c = GetParam();
  ScriptedResponse held = ScriptedResponse::Ok("<img src=i.gif>");
  held.HoldName = "p";
  server_.Script("/p.html", held);
  Image("/i.gif");
  Page("/q.html", "q");
  UrlEntry& p = Add("/p.html");
  p.GetImages = c.Last ? 0 : 1;
  if (!c.Last) {
    Add("/q.html");
  }
  limits_.CancelGrace = std::chrono::milliseconds(c.GraceMs);
  std::future<int32_t> patrol = std::async(std::launch::async, [this] { return Patrol(); });
  ASSERT_TRUE(server_.WaitUntilHeld("p"));
  PatrolRunning.store(c.Flag);
  if (c.Release) {
    server_.Release("p");
  }

  EXPECT_EQ(patrol.get(), kPatrolDone);
  EXPECT_EQ(p.Status, c.Stored ? 1 : 0);
  EXPECT_THAT(Targets(), ElementsAre("/p.html"));
  EXPECT_EQ(view_.lastState, PatrolState::Rewriting);
  if (c.Stored) {
    EXPECT_THAT(ReadBytes(SaveFile("p.html")), HasSubstr("null.gif"));
  }
  // Work was left undone unless the last page came whole.
  EXPECT_EQ(report_.StoppedByCancel, !c.Last || !c.Stored);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CancelInFlight,
    testing::Values(CancelCase{"CancelLetsItFinish", kPatrolCancelled, 10000, true, true},
                    CancelCase{"CancelGivesUpAfterTheGrace", kPatrolCancelled, 50, false, false},
                    CancelCase{"AbandonGivesUpAtOnce", kPatrolAbandoned, 10000, false, false},
                    CancelCase{"CancelInTheLastDownloadStopsNothing", kPatrolCancelled, 10000, true,
                               true, true}),
    testing::PrintToStringParamName());

// ---- What a server makes the patrol follow.

// Frames, and the inline frames, scripts and style sheets that travel with
// them, are followed at every level, but at most eight hops deep since the
// last hyperlink. Level 0, and a negative one from a hand-made list, follow
// no hyperlink.
TEST_F(PatrolTest, AFullDiskEndsThePatrolLikeCancel) {
  Page("/a.html", "<img src=i.gif>");
  Image("/i.gif");
  Page("/b.html", "b");
  UrlEntry& a = Add("/a.html");
  a.GetImages = 1;
  UrlEntry& b = Add("/b.html");
  view_.onUrl = [this](const std::string& url) {
    if (url.ends_with("/i.gif")) {
      free_ = kMinFreeBytes - 1;
    }
  };

  EXPECT_EQ(Patrol(), kPatrolOutOfSpace);

  EXPECT_THAT(Targets(), ElementsAre("/a.html", "/i.gif"));
  EXPECT_EQ(a.Status, 1);  // its page was stored, though its image was not
  EXPECT_EQ(b.Status, 0);
  EXPECT_THAT(view_.errors,
              ElementsAre(PatrolError{PatrolErrorKind::OutOfSpace, U16(Save() + "/"), 0}));
  EXPECT_EQ(view_.lastState, PatrolState::Rewriting);
  EXPECT_THAT(ReadBytes(SaveFile("a.html")), HasSubstr("null.gif"));
}

// A copy of a large download to a save folder on another file system writes
// its bytes there, so it must leave the free-space floor as a body held in
// memory must; a second name on the same file system costs no space.
TEST_F(PatrolTest, ACopyToAnotherFileSystemKeepsTheFloor) {
  ScopedEnv shmTemporaries("TMPDIR", "/dev/shm");
  const TempDir other;
  struct stat otherInfo {};
  struct stat homeInfo {};
  if (::stat(other.Path().c_str(), &otherInfo) != 0 ||
      ::stat(home_.Dir().Path().c_str(), &homeInfo) != 0 || otherInfo.st_dev == homeInfo.st_dev) {
    GTEST_SKIP() << "/dev/shm is not a file system of its own here";
  }
  Page("/big.html", std::string((5u << 20) / 4, 'x'));  // 1.25 MiB: spilled to a file
  free_ = kMinFreeBytes + (9u << 20) / 8;               // room for the spill, not for a copy
  for (const std::string& folder : {other.Path(), Save()}) {
    SCOPED_TRACE(folder);
    Store(Setting::SaveFolder, U16(folder + "/"));
    entries_.Clear();
    view_.errors.clear();
    UrlEntry& entry = Add("/big.html");
    const bool copied = folder == other.Path();

    EXPECT_EQ(Patrol(), copied ? kPatrolOutOfSpace : kPatrolDone);

    EXPECT_EQ(entry.Status, copied ? 0 : 1);
    EXPECT_EQ(Names(folder).size(), copied ? 0u : 1u);
    EXPECT_EQ(view_.errors.size(), copied ? 1u : 0u);
  }
}

// The numbered download files of a killed patrol are swept at the start of
// the next one; nothing else of the program folder is touched.
TEST_F(PatrolTest, SpillFilesOfAKilledPatrolAreSweptAtTheStart) {
  const std::string prog = home_.Program() + "/";
  std::filesystem::create_directories(prog + "Kivo0004.tmp");
  std::filesystem::create_symlink(home_.File("target"), prog + "Kivo0005.tmp");
  for (const char* name : {"Kivo0000.tmp", "Kivo0001.tmp", "Kivo12345.tmp", "Kivo001.tmp",
                           "KivoABCD.tmp", "Kivo0002.tmp.bak", "Kivo.dat"}) {
    WriteBytes(prog + name, "left");
  }
  WriteBytes(home_.File("target"), "elsewhere");
  Page("/a.html", "a");
  Add("/a.html");

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_THAT(Names(home_.Program()),
              ElementsAre("Kivo.dat", "Kivo0002.tmp.bak", "Kivo0004.tmp", "Kivo0005.tmp",
                          "Kivo001.tmp", "KivoABCD.tmp", "KivoHistory.db"));
  EXPECT_EQ(ReadBytes(home_.File("target")), "elsewhere");
}

struct LocalCase {
  const char* Name;
  std::string Folder;  // the save folder under the test's home; "prog" is the program folder
  bool Create;
  std::string Path;    // fetched from the server, and the name it is stored under
  std::string Stored;  // empty: nothing is stored, and SystemError tells why
  int32_t SystemError;

  friend void PrintTo(const LocalCase& c, std::ostream* os) { *os << c.Name; }
};

class LocalState : public PatrolTest, public testing::WithParamInterface<LocalCase> {};

TEST_P(LocalState, DecidesWhereThePageGoes) {
  const LocalCase& c = GetParam();
  const std::string folder = home_.File(c.Folder) + "/";
  if (c.Create) {
    std::filesystem::create_directories(folder);
  }
  WriteBytes(home_.File("file"), "in the way");
  Store(Setting::SaveFolder, U16(folder));
  Page(c.Path, "planted");
  UrlEntry& entry = Add(c.Path);

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_EQ(Utf8(entry.LocalFile.View()), c.Stored.empty() ? "" : folder + c.Stored);
  if (c.Stored.empty()) {
    EXPECT_THAT(view_.errors, ElementsAre(PatrolError{PatrolErrorKind::UnusableFolder, U16(folder),
                                                      c.SystemError}));
  } else {
    EXPECT_TRUE(view_.errors.empty());
  }
  EXPECT_FALSE(std::filesystem::exists(folder + "Kivo.dat.bak"));
}

const std::string kLongFolder =
    "long/" + std::string(120, 'a') + "/" + std::string(120, 'b') + "/" + std::string(120, 'c');

INSTANTIATE_TEST_SUITE_P(
    Table, LocalState,
    testing::Values(
        LocalCase{"LongSaveFolderIsUsedWhole", kLongFolder, true, "/p.html", "p.html", 0},
        LocalCase{"MissingFolder", "missing", false, "/p.html", "", ENOENT},
        LocalCase{"FileInTheWay", "file/sub", false, "/p.html", "", ENOTDIR},
        LocalCase{"ListBackupIsTaken", "prog", true, "/Kivo.dat.bak", "Kivo.datA.bak", 0},
        LocalCase{"ListTemporaryIsTaken", "prog", true, "/Kivo.dat.tmp-ab12cd34",
                  "Kivo.datA.tmp-ab12cd34", 0},
        LocalCase{"PlaceholderIsTaken", "prog", true, "/null.gif", "nullA.gif", 0},
        // The next large download would remove a page under this name.
        LocalCase{"DownloadTemporaryIsTaken", "prog", true, "/Kivo0001.tmp", "Kivo0001A.tmp", 0},
        LocalCase{"RewriteTemporaryIsTaken", "save", true, "/.kivo-rewrite-1-2-3.tmp",
                  ".kivo-rewrite-1-2-3A.tmp", 0},
        LocalCase{"LookalikeIsFree", "prog", true, "/Kivo.dat.tmp-x.html", "Kivo.dat.tmp-x.html",
                  0}),
    testing::PrintToStringParamName());

// Sets or clears the append-only flag of a folder: files in it can then be
// created and written, but not removed. False where that is not possible.
bool SetAppendOnly(const std::string& folder, bool on) {
  const platform::UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  int flags = 0;
  const bool read = ::ioctl(dir.Get(), FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? (flags | FS_APPEND_FL) : (flags & ~FS_APPEND_FL);
  return read && ::ioctl(dir.Get(), FS_IOC_SETFLAGS, &flags) == 0;
}

// A stored copy may be a second name of a temporary download. When the
// program folder cannot be written, no stored copy is written through.
TEST_F(PatrolTest, ADownloadNeverWritesThroughAStoredCopy) {
  Page("/a.html", "first");
  Page("/b.html", "second");
  Add("/a.html");
  UrlEntry& b = Add("/b.html");
  const std::string prog = home_.Program();
  bool appendOnly = false;
  view_.onUrl = [&](const std::string& url) {
    if (url.ends_with("/b.html")) {
      appendOnly = SetAppendOnly(prog, true);
    }
  };
  Patrol();
  SetAppendOnly(prog, false);
  if (!appendOnly) {
    GTEST_SKIP() << "this file system or user cannot make a folder append-only";
  }

  EXPECT_EQ(ReadBytes(SaveFile("a.html")), "first");
  // A small page never passes through the program folder.
  EXPECT_EQ(b.Status, 1);
}

}  // namespace
}  // namespace kivo::test
