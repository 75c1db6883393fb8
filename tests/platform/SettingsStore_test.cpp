#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

#include "common/ScopedEnv.h"
#include "common/TempDir.h"

namespace kivo::platform {
namespace {

TEST(SettingsStoreTest, FileFollowsXdgConfigHome) {
  test::TempDir dir;
  test::ScopedEnv home("HOME", dir.Path());
  {
    test::ScopedEnv config("XDG_CONFIG_HOME", dir.File("cfg/"));
    EXPECT_EQ(SettingsFilePath(), test::U16(dir.File("cfg/kivo/settings.reg")));
  }
  for (const char* ignored : {"", "relative/cfg"}) {
    test::ScopedEnv config("XDG_CONFIG_HOME", ignored);
    EXPECT_EQ(SettingsFilePath(), test::U16(dir.File(".config/kivo/settings.reg")));
  }
}

}  // namespace
}  // namespace kivo::platform
