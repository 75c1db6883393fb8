#include "platform/SqliteDatabase.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/TempDir.h"
#include "platform/SqliteStatement.h"

namespace kivo::platform {
namespace {

// Moving a database aside takes its log along, drops its index, and never
// replaces a file already at the new name, such as an earlier damaged copy.
TEST(SqliteDatabase, MovesFilesWithoutReplacing) {
  test::TempDir dir;
  for (const std::string name : {"db", "db-wal", "db-shm", "taken"}) {
    ASSERT_TRUE(test::WriteBytes(dir.File(name), name));
  }
  EXPECT_FALSE(SqliteDatabase::MoveFiles(dir.Wide("db"), dir.Wide("taken")));
  EXPECT_EQ(test::ReadBytes(dir.File("taken")), "taken");
  EXPECT_TRUE(SqliteDatabase::MoveFiles(dir.Wide("db"), dir.Wide("aside")));
  EXPECT_EQ(test::ReadBytes(dir.File("aside")), "db");
  EXPECT_EQ(test::ReadBytes(dir.File("aside-wal")), "db-wal");
  for (const char* gone : {"db", "db-wal", "db-shm", "aside-shm"}) {
    EXPECT_FALSE(std::filesystem::exists(dir.File(gone))) << gone;
  }
}

// A bind that fails makes the step fail instead of running with a missing value.
TEST(SqliteDatabase, AFailedBindFailsTheStep) {
  SqliteDatabase db;
  ASSERT_FALSE(db.Open(u":memory:", SqliteOpenMode::ReadWriteCreate).Failed());
  ASSERT_FALSE(db.Execute("CREATE TABLE t(a NOT NULL)").Failed());
  SqliteStatement insert = db.Prepare("INSERT INTO t VALUES(?1)");
  insert.BindInt(2, 1);
  EXPECT_EQ(insert.Step(), SqliteStep::Failed);
  insert.Reset();
  insert.BindInt(1, 1);
  EXPECT_EQ(insert.Step(), SqliteStep::Done);
  EXPECT_EQ(db.QueryInt("SELECT count(*) FROM t"), 1);
}

}  // namespace
}  // namespace kivo::platform
