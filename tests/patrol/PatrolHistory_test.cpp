#include "patrol/PatrolHistory.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "common/ProgramHome.h"
#include "patrol/HistorySchema.h"
#include "platform/KeptNames.h"
#include "platform/ProgramFolder.h"
#include "platform/UniqueFd.h"

namespace kivo::test {
namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
namespace fs = std::filesystem;

constexpr int64_t kNow = 1796638500000;  // 2026-12-07 10:15:00 UTC

HistoryCheck Check(int64_t at, const std::string& url, CheckOutcome outcome,
                   const std::string& stored = {}, const std::string& follows = {},
                   CheckedKind kind = CheckedKind::EntryPage) {
  HistoryCheck check;
  check.CheckedAt = at;
  check.Url = U16(url);
  check.Kind = kind;
  check.Outcome = outcome;
  check.StoredPath = U16(stored);
  check.FollowsPath = U16(follows);
  return check;
}

std::vector<CheckOutcome> Outcomes(const std::vector<HistoryCheck>& checks) {
  std::vector<CheckOutcome> outcomes;
  for (const HistoryCheck& check : checks) {
    outcomes.push_back(check.Outcome);
  }
  return outcomes;
}

std::vector<HistoryProblem> Problems(PatrolHistory& history) {
  std::vector<HistoryProblem> problems;
  for (const HistoryMessage& message : history.TakeMessages()) {
    problems.push_back(message.Problem);
  }
  return problems;
}

// Makes a folder unwritable for as long as the object lives: by its mode,
// and for a user whom modes do not stop (root) by the immutable flag.
class UnwritableFolder {
 public:
  explicit UnwritableFolder(const std::string& folder) : folder_(folder) {
    ::chmod(folder_.c_str(), 0555);
    if (!Writable()) {
      return;
    }
    immutable_ = SetImmutable(true);
  }
  ~UnwritableFolder() {
    if (immutable_) {
      SetImmutable(false);
    }
    ::chmod(folder_.c_str(), 0755);
  }
  bool Writable() const {
    const std::string probe = folder_ + "/probe";
    const bool made = platform::UniqueFd(::open(probe.c_str(), O_CREAT | O_WRONLY, 0600)).IsValid();
    ::unlink(probe.c_str());
    return made;
  }

 private:
  bool SetImmutable(bool on) const {
    const platform::UniqueFd dir(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    int flags = 0;
    const bool read = ::ioctl(dir.Get(), FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    return read && ::ioctl(dir.Get(), FS_IOC_SETFLAGS, &flags) == 0;
  }

  std::string folder_;
  bool immutable_ = false;
};

class HistoryTest : public testing::Test {
 protected:
  std::u16string Path() const { return PatrolHistory::DefaultPath(); }
  std::string HostPath() const { return Utf8(Path()); }

  // A history written by this version, with `checks` checks in one finished patrol.
  void WriteHistory(int checks) {
    PatrolHistory history(HistoryAccess::Write, Path(), kNow);
    history.BeginPatrol(kNow, PatrolTrigger::Cli);
    for (int i = 0; i < checks; ++i) {
      history.Record(Check(kNow + i, "http://h/" + std::string(200, 'p') + std::to_string(i),
                           CheckOutcome::Stored, "/s/" + std::to_string(i) + ".html"));
    }
    history.FinishPatrol(kNow + checks);
  }

  ProgramHome home_;
  platform::SqliteDatabase other_;  // another program's connection
};

// What is found in the database's place after opening.
enum class Left { Database, Untouched, MovedAside, Nothing };

class HistoryBadState;

struct BadState {
  const char* Name;
  HistoryAccess Access;
  std::function<void(HistoryBadState&, const std::string& path)> Prepare;
  std::vector<HistoryProblem> OpenProblems;
  HistoryState State;
  Left File;
  HistoryProblem PatrolProblem = HistoryProblem::None;
  uint32_t MaxPages = 0;
  bool Unwritable = false;  // the program folder cannot be written
};

class HistoryBadState : public HistoryTest, public testing::WithParamInterface<BadState> {
 public:
  using HistoryTest::WriteHistory;
  platform::SqliteDatabase& Other() { return other_; }
};

const std::string kBadHeader = std::string("SQLite format 3\0", 16) + std::string(4080, '\xff');

TEST_P(HistoryBadState, NeverCostsThePatrol) {
  const BadState& c = GetParam();
  const std::string path = HostPath();
  if (c.Prepare) {
    c.Prepare(*this, path);
  }
  const bool wasFolder = fs::is_directory(path);
  const std::string before = fs::is_regular_file(path) ? ReadBytes(path) : "";
  std::optional<UnwritableFolder> readOnly;
  if (c.Unwritable) {
    readOnly.emplace(home_.Program());
    if (readOnly->Writable()) {
      GTEST_SKIP() << "this file system or user cannot make a folder unwritable";
    }
  }
  HistoryOptions options;
  options.BusyTimeout = std::chrono::milliseconds(20);
  options.MaxPages = c.MaxPages;
  PatrolHistory history(c.Access, Path(), kNow, options);

  EXPECT_THAT(Problems(history), ElementsAreArray(c.OpenProblems));
  EXPECT_EQ(history.State(), c.State);
  const std::string aside = path + ".damaged-20261207T101500Z";
  EXPECT_EQ(fs::exists(aside) ? ReadBytes(aside) : "", c.File == Left::MovedAside ? before : "");
  if (c.File == Left::Untouched) {
    EXPECT_EQ(fs::is_directory(path) ? "folder" : ReadBytes(path), wasFolder ? "folder" : before);
  }
  EXPECT_EQ(fs::exists(path), c.File != Left::Nothing);

  // A patrol runs the same either way; only a writable history keeps it.
  history.BeginPatrol(kNow, PatrolTrigger::Gui);
  // The URL is long enough to need pages of its own.
  history.Record(
      Check(kNow + 1, "http://h/" + std::string(5000, 'a'), CheckOutcome::Stored, "/s/a.html"));
  history.FinishPatrol(kNow + 2);
  EXPECT_EQ(history.Counts().Updated, 1u);
  const std::vector<HistoryProblem> patrolProblems = Problems(history);
  EXPECT_EQ(patrolProblems.empty() ? HistoryProblem::None : patrolProblems.front(),
            c.PatrolProblem);
  EXPECT_LE(patrolProblems.size(), 1u);
  readOnly.reset();
  other_.Close();
  if (c.State == HistoryState::Writable && c.PatrolProblem == HistoryProblem::None) {
    PatrolHistory reader(HistoryAccess::Read, Path(), kNow);
    const std::vector<PatrolLog> logs = reader.Queries().RecentPatrols(10);
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_THAT(Outcomes(logs[0].Entries), ElementsAre(CheckOutcome::Stored));
  }
}

// A database of this version whose third page is overwritten.
void DamagedPage(HistoryBadState& test, const std::string& path) {
  test.WriteHistory(400);
  std::string bytes = ReadBytes(path);
  ASSERT_GT(bytes.size(), 3u * 4096);
  bytes.replace(2 * 4096, 4096, std::string(4096, '\xff'));
  WriteBytes(path, bytes);
}

void NewerVersion(HistoryBadState& test, const std::string& path) {
  platform::SqliteDatabase& other = test.Other();
  ASSERT_FALSE(other.Open(U16(path), platform::SqliteOpenMode::ReadWriteCreate).Failed());
  ASSERT_FALSE(other.Execute("CREATE TABLE later(a); PRAGMA user_version = 99").Failed());
  other.Close();
}

// Another program holds the write lock: in WAL mode readers still read, in a
// rollback-journal database nobody does.
void LockedFrom(HistoryBadState& test, const std::string& path, bool wal) {
  if (wal) {
    test.WriteHistory(1);
  }
  platform::SqliteDatabase& other = test.Other();
  ASSERT_FALSE(other.Open(U16(path), platform::SqliteOpenMode::ReadWriteCreate).Failed());
  ASSERT_FALSE(other
                   .Execute(wal ? "BEGIN IMMEDIATE; CREATE TABLE x(a)"
                                : "CREATE TABLE x(a); BEGIN EXCLUSIVE; INSERT INTO x VALUES(1)")
                   .Failed());
}

using P = HistoryProblem;
using S = HistoryState;
constexpr HistoryAccess W = HistoryAccess::Write;
constexpr HistoryAccess R = HistoryAccess::Read;

INSTANTIATE_TEST_SUITE_P(
    Table, HistoryBadState,
    testing::Values(
        BadState{"MissingIsCreated", W, nullptr, {}, S::Writable, Left::Database},
        BadState{"EmptyFileIsUsed",
                 W,
                 [](HistoryBadState&, const std::string& p) { WriteBytes(p, ""); },
                 {},
                 S::Writable,
                 Left::Database},
        BadState{"NotADatabase",
                 W,
                 [](HistoryBadState&, const std::string& p) { WriteBytes(p, "not a database"); },
                 {P::MovedAside},
                 S::Writable,
                 Left::MovedAside},
        BadState{"BadHeader",
                 W,
                 [](HistoryBadState&, const std::string& p) { WriteBytes(p, kBadHeader); },
                 {P::MovedAside},
                 S::Writable,
                 Left::MovedAside},
        BadState{
            "FailingQuickCheck", W, DamagedPage, {P::MovedAside}, S::Writable, Left::MovedAside},
        BadState{
            "NewerSchemaIsLeftAlone", W, NewerVersion, {P::NewerSchema}, S::Off, Left::Untouched},
        BadState{"FolderInItsPlace",
                 W,
                 [](HistoryBadState&, const std::string& p) { fs::create_directory(p); },
                 {P::Unusable},
                 S::Off,
                 Left::Untouched},
        BadState{
            "ReadOnlyFolder", W, nullptr, {P::Unusable}, S::Off, Left::Nothing, P::None, 0, true},
        BadState{"FullAtOpen", W, nullptr, {P::Full}, S::Off, Left::Database, P::None, 3},
        BadState{"FullDuringPatrol", W, nullptr, {}, S::Writable, Left::Database, P::Full, 8},
        BadState{"LockedAtOpen",
                 W,
                 [](HistoryBadState& t, const std::string& p) { LockedFrom(t, p, false); },
                 {P::Locked},
                 S::Off,
                 Left::Database},
        BadState{"LockedDuringPatrol",
                 W,
                 [](HistoryBadState& t, const std::string& p) { LockedFrom(t, p, true); },
                 {},
                 S::Writable,
                 Left::Database,
                 P::Locked},
        BadState{"ReaderFindsNothing", R, nullptr, {P::Missing}, S::Off, Left::Nothing},
        BadState{"ReaderLeavesDamage",
                 R,
                 [](HistoryBadState&, const std::string& p) { WriteBytes(p, kBadHeader); },
                 {P::Damaged},
                 S::Off,
                 Left::Untouched},
        BadState{"ReaderReadsNewerSchema",
                 R,
                 NewerVersion,
                 {P::NewerSchema},
                 S::ReadOnly,
                 Left::Untouched},
        BadState{"ReaderWhileLocked",
                 R,
                 [](HistoryBadState& t, const std::string& p) { LockedFrom(t, p, true); },
                 {},
                 S::ReadOnly,
                 Left::Database}),
    [](const testing::TestParamInfo<BadState>& info) { return info.param.Name; });

// The records of four patrols of one entry with an image:
// 1 stores a.html and logo.gif, 2 finds the page unchanged, 3 stores aA.html
// and reuses the image on a 304, 4 fails.
class HistoryQueriesTest : public HistoryTest {
 protected:
  void SetUp() override {
    HistoryCheck first = Check(1000, kPage, CheckOutcome::Stored, "/s/a.html");
    first.ETag = "W/\"v1\"";
    first.LastModified = SystemTime{2026, 1, 4, 1, 12, 30, 15, 0};
    first.BodyDigest = platform::ContentDigest::Of("v1");
    first.TextDigest = platform::ContentDigest::Of("text");
    HistoryCheck image =
        Check(1001, kImage, CheckOutcome::Stored, "/s/logo.gif", {}, CheckedKind::Image);
    image.StoredSize = 10;
    image.StoredModified = 111;
    HistoryCheck third = Check(3000, kPage, CheckOutcome::Stored, "/s/aA.html", "/s/a.html");
    third.BodyDigest = platform::ContentDigest::Of("v2");
    const std::vector<std::vector<HistoryCheck>> patrols = {
        {first, image},
        {Check(2000, kPage, CheckOutcome::UnchangedLastModified, {}, "/s/a.html")},
        {third, Check(3001, kImage, CheckOutcome::NotModified, "/s/logoA.gif", "/s/logo.gif",
                      CheckedKind::Image)},
        {Check(4000, kPage, CheckOutcome::Failed, {}, "/s/aA.html"),
         Check(4001, "http://h/q.html", CheckOutcome::Stored, "/s/q.html", {},
               CheckedKind::QueuedPage),
         Check(4002, "http://h/new.html", CheckOutcome::Failed)}};
    for (const std::vector<HistoryCheck>& checks : patrols) {
      writer_.BeginPatrol(checks.front().CheckedAt, PatrolTrigger::Scheduled);
      for (const HistoryCheck& check : checks) {
        writer_.Record(check);
      }
      writer_.FinishPatrol(checks.front().CheckedAt + 500);
    }
  }

  const std::string kPage = "http://h/a.html";
  const std::string kImage = "http://h/logo.gif";
  PatrolHistory writer_{HistoryAccess::Write, Path(), kNow};
};

TEST_F(HistoryQueriesTest, AnswerFromTheRecords) {
  HistoryQueries& queries = writer_.Queries();
  const std::optional<HistoryCheck> first = queries.CopyAt(u"/s/a.html");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->ETag, "W/\"v1\"");
  EXPECT_EQ(first->LastModified, (SystemTime{2026, 1, 4, 1, 12, 30, 15, 0}));
  EXPECT_EQ(first->TextDigest, platform::ContentDigest::Of("text"));
  EXPECT_EQ(queries.CopyAt(u"/s/aA.html")->BodyDigest, platform::ContentDigest::Of("v2"));
  EXPECT_FALSE(queries.CopyAt(u"/s/none.html"));

  const std::optional<HistoryCheck> image = queries.LatestCopyOf(U16(kImage));
  ASSERT_TRUE(image);
  EXPECT_EQ(Utf8(image->StoredPath), "/s/logoA.gif");
  EXPECT_EQ(queries.CopyAt(u"/s/logo.gif")->StoredSize, 10u);
  EXPECT_EQ(queries.CopyAt(u"/s/logo.gif")->StoredModified, 111);

  EXPECT_EQ(queries.CopyChain(u"/s/aA.html", 10).size(), 2u);
  EXPECT_EQ(queries.CopyChain(u"/s/aA.html", 1).size(), 1u);

  const std::vector<PatrolLog> logs = queries.RecentPatrols(2);
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_THAT(Outcomes(logs[0].Entries), ElementsAre(CheckOutcome::Failed, CheckOutcome::Failed));
  EXPECT_EQ(logs[0].Patrol.Counts, (PatrolCounts{0, 0, 0, 0, 2}));
  EXPECT_EQ(logs[1].Patrol.Counts, (PatrolCounts{1, 0, 0, 0, 0}));
  EXPECT_EQ(logs[1].Patrol.FinishedAt, 3500);
  EXPECT_EQ(logs[1].Patrol.Trigger, PatrolTrigger::Scheduled);
}

struct EntryCase {
  const char* Name;
  std::string Url;
  std::string LocalFile;
  std::vector<CheckOutcome> Outcomes;
};

class EntryHistoryTable : public HistoryQueriesTest,
                          public testing::WithParamInterface<EntryCase> {};

TEST_P(EntryHistoryTable, WalksTheCopiesBack) {
  const EntryCase& c = GetParam();
  EXPECT_THAT(Outcomes(writer_.Queries().EntryHistory(U16(c.Url), U16(c.LocalFile), 10)),
              ElementsAreArray(c.Outcomes));
}

using O = CheckOutcome;
INSTANTIATE_TEST_SUITE_P(
    Table, EntryHistoryTable,
    testing::Values(EntryCase{"NewestFirstWithUnchangedChecks",
                              "http://h/a.html",
                              "/s/aA.html",
                              {O::Failed, O::Stored, O::UnchangedLastModified, O::Stored}},
                    EntryCase{"AfterTheUrlWasEdited",
                              "http://h/moved.html",
                              "/s/aA.html",
                              {O::Failed, O::Stored, O::UnchangedLastModified, O::Stored}},
                    EntryCase{"NeverStored", "http://h/new.html", "", {O::Failed}},
                    EntryCase{
                        "CopyThatPredatesTheHistory", "http://h/old.html", "/s/old.html", {}}),
    [](const testing::TestParamInfo<EntryCase>& info) { return info.param.Name; });

// Values that only survive a careful round trip: a path with bytes that are
// not UTF-8, validators at and past their bounds, a loop in the chain.
TEST_F(HistoryTest, KeepsWhatItCanAndStopsLoops) {
  PatrolHistory history(HistoryAccess::Write, Path(), kNow);
  history.BeginPatrol(1, PatrolTrigger::Gui);
  const std::vector<std::pair<std::string, std::string>> etags = {
      {"\"x\"", "\"x\""},
      {std::string(1024, 'e'), std::string(1024, 'e')},
      {std::string(1025, 'e'), ""},
      {"\"a\nb\"", ""},
      {"\"a\x7f\"", ""}};
  for (size_t i = 0; i < etags.size(); ++i) {
    HistoryCheck check = Check(2, "http://h/e", O::Stored, "/s/e" + std::to_string(i));
    check.ETag = etags[i].first;
    history.Record(check);
    EXPECT_EQ(history.Queries().CopyAt(check.StoredPath)->ETag, etags[i].second) << i;
  }
  const std::u16string odd = u"/s/\xDC81\xDCFF.html";
  history.Record(Check(3, "http://h/x", O::Stored, "/s/x", "/s/y"));
  HistoryCheck y = Check(4, "http://h/y", O::Stored, "/s/y", "/s/x");
  y.FollowsPath = odd;
  history.Record(y);
  history.Record(Check(5, "http://h/z", O::Stored, Utf8(odd), "/s/x"));
  EXPECT_EQ(history.Queries().CopyAt(odd)->Url, u"http://h/z");
  EXPECT_EQ(history.Queries().CopyChain(u"/s/x", 100).size(), 3u);
  EXPECT_EQ(history.Queries().EntryHistory(u"http://h/x", u"/s/x", 100).size(), 3u);
}

// Readers see every committed check while a patrol is still writing, and
// never wait for it; a patrol killed with kill -9 keeps all but its last
// second of checks.
TEST_F(HistoryTest, ReadersSeeCommittedChecksDuringAPatrol) {
  HistoryOptions options;
  options.CommitEvery = 2;
  PatrolHistory writer(HistoryAccess::Write, Path(), kNow, options);
  writer.BeginPatrol(1, PatrolTrigger::Cli);
  for (int i = 0; i < 3; ++i) {
    writer.Record(Check(i, "http://h/" + std::to_string(i), O::Stored));
  }
  PatrolHistory reader(HistoryAccess::Read, Path(), kNow);
  std::vector<PatrolLog> logs = reader.Queries().RecentPatrols(1);
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].Entries.size(), 2u);
  EXPECT_FALSE(logs[0].Patrol.FinishedAt);
  writer.FinishPatrol(9);
  logs = reader.Queries().RecentPatrols(1);
  EXPECT_EQ(logs[0].Entries.size(), 3u);
  EXPECT_EQ(logs[0].Patrol.Counts.Updated, 3u);
}

TEST_F(HistoryTest, AKilledPatrolKeepsAllButItsLastSecond) {
  constexpr int kChecks = 50;
  constexpr int64_t kStep = 100;  // milliseconds between checks
  const pid_t child = ::fork();
  if (child == 0) {
    PatrolHistory writer(HistoryAccess::Write, Path(), kNow);
    writer.BeginPatrol(0, PatrolTrigger::Scheduled);
    for (int i = 0; i < kChecks; ++i) {
      writer.Record(Check(i * kStep, "http://h/" + std::to_string(i), O::Stored));
    }
    ::raise(SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  PatrolHistory reader(HistoryAccess::Read, Path(), kNow);
  const std::vector<PatrolLog> logs = reader.Queries().RecentPatrols(1);
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_FALSE(logs[0].Patrol.FinishedAt);
  EXPECT_GE(logs[0].Entries.size(), size_t{kChecks - HistoryOptions{}.CommitInterval / kStep});
}

// The migration steps run in order from the version found, all in one
// transaction, and a database newer than the steps is left alone.
TEST_F(HistoryTest, MigratesStepByStep) {
  const std::string_view steps[] = {"CREATE TABLE t(a); INSERT INTO t VALUES(1)",
                                    "ALTER TABLE t ADD COLUMN b DEFAULT 7",
                                    "CREATE TABLE u(a); CREATE TABLE t(a)"};
  platform::SqliteDatabase& db = other_;
  ASSERT_FALSE(db.Open(Path(), platform::SqliteOpenMode::ReadWriteCreate).Failed());
  struct Step {
    size_t Steps;
    int64_t Found;
    bool Newer;
    bool Failed;
    int64_t After;
  };
  for (const Step& step : {Step{1, 0, false, false, 1}, Step{2, 1, false, false, 2},
                           Step{3, 2, false, true, 2}, Step{1, 2, true, false, 2}}) {
    const SchemaMigration migration = MigrateSchema(db, std::span(steps).first(step.Steps));
    EXPECT_EQ(migration.FoundVersion, step.Found);
    EXPECT_EQ(migration.Newer, step.Newer);
    EXPECT_EQ(migration.Error.Failed(), step.Failed);
    EXPECT_EQ(db.QueryInt("PRAGMA user_version"), step.After);
  }
  EXPECT_EQ(db.QueryInt("SELECT a + b FROM t"), 8);
  EXPECT_FALSE(db.QueryInt("SELECT count(*) FROM u"));
}

TEST(HistoryKeptNames, TheDatabaseAndItsCompanionsAreKept) {
  ProgramHome home;
  const platform::KeptNames kept(platform::ProgramFolder());
  for (const char16_t* name :
       {u"KivoHistory.db", u"KivoHistory.db-wal", u"KivoHistory.db-shm", u"KivoHistory.db-journal",
        u"KivoHistory.db.damaged-20261207T101500Z"}) {
    EXPECT_TRUE(kept.Contains(name)) << Utf8(name);
  }
  EXPECT_FALSE(kept.Contains(u"KivoHistory.html"));
}

}  // namespace
}  // namespace kivo::test
