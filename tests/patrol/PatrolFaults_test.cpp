// Hostile servers and damaged local state: what a patrol stores, shows and returns.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

#include <future>

#include "patrol/PatrolHarness.h"
#include "platform/UniqueFd.h"

namespace kivo::test {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::StartsWith;

// How the transfer fails is HttpSession's and FetchUrl's; this shows that a patrol keeps to
// MaxFileSize (in MiB) for a body that never ends.
TEST_F(PatrolTest, AnEndlessBodyOverMaxFileSizeStoresNothing) {
  WriteDword(Setting::MaxFileSize, 1);
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
  p.GetImages = 1;
  Add("/q.html");
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
  EXPECT_EQ(view_.LastState(), "書換中...");
  if (c.Stored) {
    EXPECT_THAT(ReadBytes(SaveFile("p.html")), HasSubstr("null.gif"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CancelInFlight,
    testing::Values(CancelCase{"CancelLetsItFinish", kPatrolCancelled, 10000, true, true},
                    CancelCase{"CancelGivesUpAfterTheGrace", kPatrolCancelled, 50, false, false},
                    CancelCase{"AbandonGivesUpAtOnce", kPatrolAbandoned, 10000, false, false}),
    [](const testing::TestParamInfo<CancelCase>& info) { return info.param.Name; });

// ---- What a server makes the patrol follow.

TEST_F(PatrolTest, FramesStopEightHopsAfterTheLastHyperlink) {
  std::vector<std::string> expected;
  for (const std::string chain : {"f", "g"}) {
    for (int k = 0; k < 12; ++k) {
      const std::string next = chain + std::to_string(k + 1);
      // f5 also links to the start of the g chain; a <link> travels like a frame.
      Page("/" + chain + std::to_string(k),
           chain == "g" ? "<link rel=next href=" + next + ">"
                        : "<frame src=" + next + ">" + (k == 5 ? "<a href=g0>g</a>" : ""));
      if (k <= kMaxFrameHops) {
        expected.push_back("/" + chain + std::to_string(k));
      }
    }
  }
  Add("/f0", 1);

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_EQ(Targets(), expected);
}

// How redirects are followed is HttpSession's; FetchUrl reports the final URL, and the patrol
// reads the page against it.
TEST_F(PatrolTest, ARedirectedPageIsReadAgainstItsFinalUrl) {
  server_.Script("/old", ScriptedResponse::Redirect(301, "/new/"));
  Page("/new/", "<img src=i.gif><a href=sub.html>s</a><a href=/old>o</a><a href=/new/>n</a>");
  Image("/new/i.gif");
  Page("/new/sub.html", "sub");
  UrlEntry& entry = Add("/old", 1);
  entry.GetImages = 1;

  EXPECT_EQ(Patrol(), kPatrolDone);

  // Neither the URL asked for nor the final one is fetched again.
  EXPECT_THAT(Targets(), ElementsAre("/old", "/new/", "/new/i.gif", "/new/sub.html"));
  EXPECT_EQ(Utf8(entry.Url.View()), server_.Url("/old"));
  // Both of its own URLs name the local copy.
  EXPECT_EQ(ReadBytes(SaveFile("old")),
            "<img src=i.gif><a href=sub.html>s</a><a href=old>o</a><a href=old>n</a>");
}

// ---- Damaged or unusual local state.

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
  EXPECT_THAT(view_.errors, ElementsAre(StartsWith("Not enough disk space")));
  EXPECT_EQ(view_.LastState(), "書換中...");
  EXPECT_THAT(ReadBytes(SaveFile("a.html")), HasSubstr("null.gif"));
}

struct LocalCase {
  const char* Name;
  std::string Folder;  // the save folder under the test's home; "prog" is the program folder
  bool Create;
  std::string Path;    // fetched from the server, and the name it is stored under
  std::string Stored;  // empty: nothing is stored, and Error tells why
  const char* Error;
};

class LocalState : public PatrolTest, public testing::WithParamInterface<LocalCase> {};

TEST_P(LocalState, DecidesWhereThePageGoes) {
  const LocalCase& c = GetParam();
  const std::string folder = home_.File(c.Folder) + "/";
  if (c.Create) {
    std::filesystem::create_directories(folder);
  }
  WriteBytes(home_.File("file"), "in the way");
  WriteString(Setting::SaveFolder, folder);
  Page(c.Path, "planted");
  UrlEntry& entry = Add(c.Path);

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_EQ(Utf8(entry.LocalFile.View()), c.Stored.empty() ? "" : folder + c.Stored);
  if (c.Stored.empty()) {
    EXPECT_THAT(view_.errors,
                ElementsAre("Cannot store files in the folder " + folder + ": " + c.Error));
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
        LocalCase{"LongSaveFolderIsUsedWhole", kLongFolder, true, "/p.html", "p.html", ""},
        LocalCase{"MissingFolder", "missing", false, "/p.html", "", "No such file or directory"},
        LocalCase{"FileInTheWay", "file/sub", false, "/p.html", "", "Not a directory"},
        LocalCase{"ListBackupIsTaken", "prog", true, "/Kivo.dat.bak", "Kivo.datA.bak", ""},
        LocalCase{"ListTemporaryIsTaken", "prog", true, "/Kivo.dat.tmp-ab12cd34",
                  "Kivo.datA.tmp-ab12cd34", ""},
        LocalCase{"PlaceholderIsTaken", "prog", true, "/null.gif", "nullA.gif", ""},
        LocalCase{"RewriteTemporaryIsTaken", "save", true, "/.kivo-rewrite-1-2-3.tmp",
                  ".kivo-rewrite-1-2-3A.tmp", ""},
        LocalCase{"LookalikeIsFree", "prog", true, "/Kivo.dat.tmp-x.html", "Kivo.dat.tmp-x.html",
                  ""}),
    [](const testing::TestParamInfo<LocalCase>& info) { return info.param.Name; });

// Sets or clears the append-only flag of a folder: files in it can then be
// created and written, but not removed. False where that is not possible.
bool SetAppendOnly(const std::string& folder, bool on) {
  const platform::UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  int flags = 0;
  const bool read = ::ioctl(dir.Get(), FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? (flags | FS_APPEND_FL) : (flags & ~FS_APPEND_FL);
  return read && ::ioctl(dir.Get(), FS_IOC_SETFLAGS, &flags) == 0;
}

// A stored copy is a second name of the temporary download. When the old
// download cannot be removed, the next one must not be written through it.
TEST_F(PatrolTest, ADownloadNeverWritesThroughAStoredCopy) {
  Page("/a.html", "first");
  Page("/b.html", "second");
  Add("/a.html");
  UrlEntry& b = Add("/b.html");
  const std::string prog = home_.File("prog");
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
  EXPECT_EQ(b.Status, 0);
}

}  // namespace
}  // namespace kivo::test
