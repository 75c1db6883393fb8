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
#include <map>
#include <tuple>

#include "common/HistoryChecks.h"
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

  // A history written by this version, with `checks` checks in one patrol,
  // finished or, as when killed, not.
  void WriteHistory(int checks, bool finished = true) {
    PatrolHistory history(HistoryAccess::Write, Path(), kNow);
    history.BeginPatrol(kNow, PatrolTrigger::Cli);
    for (int i = 0; i < checks; ++i) {
      history.Record(Check(kNow + i, "http://h/" + std::string(200, 'p') + std::to_string(i),
                           CheckOutcome::Stored, "/s/" + std::to_string(i) + ".html"));
    }
    if (finished) {
      history.FinishPatrol(kNow + checks);
    }
  }

  ProgramHome home_;
  platform::SqliteDatabase other_;  // another program's connection
};

// What stands in the database's place before it is opened.
enum class Before {
  Nothing,
  EmptyFile,
  Garbage,
  BadHeader,
  DamagedPage,        // a database of this version whose third page is overwritten
  DamagedAfterAKill,  // the same, and its last patrol never recorded its end
  DamagedAfterARead,  // the same as DamagedPage, read since, which leaves an empty log
  Newer,              // a database of a later version
  Folder,
  Unwritable,      // nothing, in a program folder that cannot be written
  LockedRollback,  // another program holds the write lock of a rollback-journal database
  LockedWal,       // ... of a WAL database, which readers can still read
};

// What is found in the database's place after opening.
enum class After { Database, Untouched, MovedAside, Nothing };

struct BadState {
  const char* Name;
  HistoryAccess Access;
  Before Setup;
  HistoryProblem OpenProblem;
  HistoryState State;
  After File;
  HistoryProblem PatrolProblem = HistoryProblem::None;
  uint32_t MaxPages = 0;
};

class HistoryBadState : public HistoryTest, public testing::WithParamInterface<BadState> {
 protected:
  void Prepare(Before setup, const std::string& path) {
    const std::string badHeader = std::string("SQLite format 3\0", 16) + std::string(4080, '\xff');
    const std::map<Before, std::string> bytes = {{Before::EmptyFile, ""},
                                                 {Before::Garbage, "not a database"},
                                                 {Before::BadHeader, badHeader}};
    if (bytes.contains(setup)) {
      WriteBytes(path, bytes.at(setup));
    } else if (setup == Before::DamagedPage || setup == Before::DamagedAfterAKill ||
               setup == Before::DamagedAfterARead) {
      WriteHistory(400, setup != Before::DamagedAfterAKill);
      std::string damaged = ReadBytes(path);
      ASSERT_GT(damaged.size(), 3u * 4096);
      WriteBytes(path, damaged.replace(2 * 4096, 4096, std::string(4096, '\xff')));
      if (setup == Before::DamagedAfterARead) {
        PatrolHistory(HistoryAccess::Read, Path(), kNow).Queries().RecentPatrols(1);
        ASSERT_TRUE(fs::exists(path + "-wal"));
      }
    } else if (setup == Before::Folder) {
      fs::create_directory(path);
    } else if (setup == Before::Newer || setup == Before::LockedRollback ||
               setup == Before::LockedWal) {
      if (setup == Before::LockedWal) {
        WriteHistory(1);
      }
      ASSERT_FALSE(other_.Open(U16(path), platform::SqliteOpenMode::ReadWriteCreate).Failed());
      const char* sql = setup == Before::Newer ? "CREATE TABLE later(a); PRAGMA user_version = 99"
                        : setup == Before::LockedWal
                            ? "BEGIN IMMEDIATE; CREATE TABLE x(a)"
                            : "CREATE TABLE x(a); BEGIN EXCLUSIVE; INSERT INTO x VALUES(1)";
      ASSERT_FALSE(other_.Execute(sql).Failed());
    }
  }
};

TEST_P(HistoryBadState, NeverCostsThePatrol) {
  const BadState& c = GetParam();
  const std::string path = HostPath();
  ASSERT_NO_FATAL_FAILURE(Prepare(c.Setup, path));
  const bool wasFolder = fs::is_directory(path);
  const std::string before = fs::is_regular_file(path) ? ReadBytes(path) : "";
  std::optional<UnwritableFolder> readOnly;
  if (c.Setup == Before::Unwritable) {
    readOnly.emplace(home_.Program());
    if (readOnly->Writable()) {
      GTEST_SKIP() << "this file system or user cannot make a folder unwritable";
    }
  }
  HistoryOptions options;
  options.BusyTimeout = std::chrono::milliseconds(20);
  options.MaxPages = c.MaxPages;
  PatrolHistory history(c.Access, Path(), kNow, options);

  const std::vector<HistoryProblem> openProblems = Problems(history);
  EXPECT_THAT(openProblems,
              ElementsAreArray(c.OpenProblem == HistoryProblem::None ? std::vector<HistoryProblem>{}
                                                                     : std::vector{c.OpenProblem}));
  EXPECT_EQ(history.State(), c.State);
  const std::string aside = path + ".damaged-20261207T101500Z";
  EXPECT_EQ(fs::exists(aside) ? ReadBytes(aside) : "", c.File == After::MovedAside ? before : "");
  if (c.File == After::Untouched) {
    EXPECT_EQ(fs::is_directory(path) ? "folder" : ReadBytes(path), wasFolder ? "folder" : before);
  }
  EXPECT_EQ(fs::exists(path), c.File != After::Nothing);

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

using B = Before;
using P = HistoryProblem;
using S = HistoryState;
constexpr HistoryAccess W = HistoryAccess::Write;
constexpr HistoryAccess R = HistoryAccess::Read;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Table, HistoryBadState,
    testing::Values(
        BadState{"MissingIsCreated", W, B::Nothing, P::None, S::Writable, After::Database},
        BadState{"EmptyFileIsUsed", W, B::EmptyFile, P::None, S::Writable, After::Database},
        BadState{"NotADatabase", W, B::Garbage, P::MovedAside, S::Writable, After::MovedAside},
        BadState{"BadHeader", W, B::BadHeader, P::MovedAside, S::Writable, After::MovedAside},
        // The whole file is checked only after a run that did not end in
        // order; damage met while writing then has it checked next time.
        BadState{"FailingQuickCheck", W, B::DamagedAfterAKill, P::MovedAside, S::Writable,
                 After::MovedAside},
        BadState{"DamageFoundWhileWriting", W, B::DamagedPage, P::None, S::Writable,
                 After::Database, P::Damaged},
        BadState{"AReadLeavesNoDoubt", W, B::DamagedAfterARead, P::None, S::Writable,
                 After::Database, P::Damaged},
        BadState{"NewerSchemaIsLeftAlone", W, B::Newer, P::NewerSchema, S::Off, After::Untouched},
        BadState{"FolderInItsPlace", W, B::Folder, P::Unusable, S::Off, After::Untouched},
        BadState{"ReadOnlyFolder", W, B::Unwritable, P::Unusable, S::Off, After::Nothing},
        BadState{"FullAtOpen", W, B::Nothing, P::Full, S::Off, After::Database, P::None, 3},
        BadState{"FullDuringPatrol", W, B::Nothing, P::None, S::Writable, After::Database,
                 P::Full, 8},
        BadState{"LockedAtOpen", W, B::LockedRollback, P::Locked, S::Off, After::Database},
        BadState{"LockedDuringPatrol", W, B::LockedWal, P::None, S::Writable, After::Database,
                 P::Locked},
        BadState{"ReaderFindsNothing", R, B::Nothing, P::Missing, S::Off, After::Nothing},
        BadState{"ReaderLeavesDamage", R, B::BadHeader, P::Damaged, S::Off, After::Untouched},
        BadState{"ReaderReadsNewerSchema", R, B::Newer, P::NewerSchema, S::ReadOnly,
                 After::Untouched},
        BadState{"ReaderWhileLocked", R, B::LockedWal, P::None, S::ReadOnly, After::Database}),
    [](const testing::TestParamInfo<BadState>& info) { return info.param.Name; });
// clang-format on

// Readers see every committed check while a patrol is still writing, and
// never wait for it; a patrol killed with kill -9 keeps all but its last
// second of checks.
TEST_F(HistoryTest, ReadersSeeCommittedChecksDuringAPatrol) {
  HistoryOptions options;
  options.CommitEvery = 2;
  PatrolHistory writer(HistoryAccess::Write, Path(), kNow, options);
  writer.BeginPatrol(1, PatrolTrigger::Cli);
  for (int i = 0; i < 3; ++i) {
    writer.Record(Check(i, "http://h/" + std::to_string(i), CheckOutcome::Stored));
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
      writer.Record(Check(i * kStep, "http://h/" + std::to_string(i), CheckOutcome::Stored));
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

// A patrol begins by deleting the checks that stored nothing once they are
// 90 days old; a check that describes a stored copy stays, however old.
TEST_F(HistoryTest, APatrolDeletesOldChecksThatStoredNothing) {
  constexpr int64_t kDay = int64_t{24} * 60 * 60 * 1000;
  {
    PatrolHistory history(HistoryAccess::Write, Path(), kNow);
    history.BeginPatrol(kNow - 100 * kDay, PatrolTrigger::Cli);
    for (const auto& [age, outcome, stored] : {std::tuple{100, CheckOutcome::Stored, "/s/a.html"},
                                               std::tuple{100, CheckOutcome::NotModified, ""},
                                               std::tuple{89, CheckOutcome::Failed, ""}}) {
      history.Record(Check(kNow - age * kDay, "http://h/a", outcome, stored,
                           *stored == '\0' ? "/s/a.html" : ""));
    }
    history.FinishPatrol(kNow - 89 * kDay);
    history.BeginPatrol(kNow, PatrolTrigger::Cli);
    history.FinishPatrol(kNow);
  }
  PatrolHistory reader(HistoryAccess::Read, Path(), kNow);
  EXPECT_THAT(Outcomes(reader.Queries().EntryHistory(u"http://h/a", u"/s/a.html", 10)),
              ElementsAre(CheckOutcome::Failed, CheckOutcome::Stored));
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
