#include "platform/NewFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/TempDir.h"
#include "platform/FileExists.h"

namespace kivo::platform {
namespace {

// These cases stand for a name that appears between the existence test of a local copy and
// its creation: the create itself must refuse it.
TEST(NewFileTest, OnlyANameThatIsFreeIsCreatedAndRemoveFileTakesItAway) {
  test::TempDir dir;
  ASSERT_TRUE(test::WriteBytes(dir.File("file"), "keep"));
  ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0755), 0);
  ASSERT_EQ(::symlink(dir.File("target").c_str(), dir.File("dangling").c_str()), 0);
  ASSERT_EQ(::symlink(dir.File("file").c_str(), dir.File("link").c_str()), 0);

  for (const char* name : {"file", "folder", "dangling", "link"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(CreateNewFile(dir.Wide(name)).Outcome, CreateOutcome::Exists);
  }
  EXPECT_FALSE(FileExists(dir.Wide("target")));
  EXPECT_EQ(test::ReadBytes(dir.File("file")), "keep");

  NewFile created = CreateNewFile(dir.Wide("new"));
  ASSERT_EQ(created.Outcome, CreateOutcome::Created);
  EXPECT_TRUE(created.File.IsValid());
  struct stat info {};
  ASSERT_EQ(::stat(dir.File("new").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0600, 0600);
  EXPECT_EQ(info.st_mode & 0133, 0);  // never executable, never writable by others

  EXPECT_EQ(CreateNewFile(dir.Wide("missing/new")).Outcome, CreateOutcome::Failed);
  EXPECT_EQ(CreateNewFile(u"").Outcome, CreateOutcome::Failed);

  EXPECT_TRUE(RemoveFile(dir.Wide("new")));
  EXPECT_FALSE(FileExists(dir.Wide("new")));
  EXPECT_TRUE(RemoveFile(dir.Wide("new")));  // already gone
}

}  // namespace
}  // namespace kivo::platform
