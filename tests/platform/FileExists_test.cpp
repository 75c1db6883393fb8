#include "platform/FileExists.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/TempDir.h"

namespace kivo {
namespace {

TEST(FileExistsTest, CountsFilesFoldersAndDanglingLinks) {
  test::TempDir dir;
  ASSERT_TRUE(test::WriteBytes(dir.File("file"), ""));
  ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0755), 0);
  ASSERT_EQ(::symlink(dir.File("nowhere").c_str(), dir.File("dangling").c_str()), 0);
  struct Case {
    const char* name;
    bool exists;
  };
  const Case cases[] = {
      {"file", true}, {"folder", true}, {"dangling", true}, {"nowhere", false}, {"file/x", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FileExists(dir.Wide(c.name)), c.exists);
  }
  EXPECT_FALSE(FileExists(u""));
  // Non-ASCII paths become UTF-8.
  ASSERT_TRUE(test::WriteBytes(dir.File("\xe6\x97\xa5\xe6\x9c\xac.html"), "x"));  // 日本.html
  EXPECT_TRUE(FileExists(dir.Wide("") + u"\u65e5\u672c.html"));
}

}  // namespace
}  // namespace kivo
