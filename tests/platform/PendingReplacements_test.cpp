#include "platform/PendingReplacements.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/TempDir.h"

namespace kivo::platform {
namespace {

// Files stored before the commit are made durable with the new versions:
// one sync per file system, whether or not anything there is replaced.
TEST(PendingReplacements, SyncsEachFileSystemOnceForCopiesAndReplacements) {
  test::TempDir dir;
  std::filesystem::create_directory(dir.File("sub"));
  ASSERT_TRUE(test::WriteBytes(dir.File("page.new"), "new"));
  ASSERT_TRUE(test::WriteBytes(dir.File("page"), "old"));
  for (const bool replacing : {false, true}) {
    SCOPED_TRACE(replacing);
    std::vector<std::string> synced;
    PendingReplacements pending([&synced](const std::string& path) {
      synced.push_back(path);
      return true;
    });
    pending.KeepDurable(dir.File("sub"));
    pending.KeepDurable(dir.File(""));
    if (replacing) {
      pending.Add(dir.File("page.new"), dir.File("page"));
    }
    EXPECT_EQ(pending.Commit(), replacing ? 1 : 0);
    EXPECT_EQ(synced.size(), 1u);
  }
  EXPECT_EQ(test::ReadBytes(dir.File("page")), "new");
}

}  // namespace
}  // namespace kivo::platform
