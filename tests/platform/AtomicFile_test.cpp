#include "platform/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "common/TempDir.h"

namespace kivo::platform {
namespace {

TEST(AtomicFileTest, ReplacesContentsAndKeepsPermissions) {
  test::TempDir dir;
  const std::string path = dir.File("f");
  ASSERT_TRUE(ReplaceFileAtomically(test::U16(path), "one"));
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(ReplaceFileAtomically(test::U16(path), "two"));
  EXPECT_EQ(test::ReadBytes(path), "two");
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
