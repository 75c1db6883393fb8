#include "patrol/PatrolSettings.h"

#include <gtest/gtest.h>

#include "common/ScopedEnv.h"
#include "common/StoredSettings.h"
#include "common/TempDir.h"
#include "platform/ProgramFolder.h"

namespace kivo {
namespace {

// The rules themselves are the settings table's and EditRules'; this shows that a patrol reads
// its settings through them, in milliseconds.
TEST(PatrolSettingsTest, TimeOutsAreClampedAndAnEmptySaveFolderIsTheProgramFolder) {
  test::TempDir home;
  test::ScopedEnv programFolder("KIVO_HOME", home.File("prog"));
  test::ScopedEnv settingsFolder("XDG_CONFIG_HOME", home.File("config"));
  ASSERT_TRUE(test::Store(Setting::ConnectTimeout, 5));
  ASSERT_TRUE(test::Store(Setting::ReceiveTimeout, 45));
  ASSERT_TRUE(test::Store(Setting::MaxFileSize, 2));
  ASSERT_TRUE(test::Store(Setting::SaveFolder, u""));
  const PatrolSettings settings = ReadPatrolSettings();
  EXPECT_EQ(settings.Session.ConnectTimeoutMs, 10000u);
  EXPECT_EQ(settings.Session.ReceiveTimeoutMs, 45000u);
  EXPECT_EQ(settings.MaxFileBytes, 2u << 20);
  EXPECT_EQ(settings.SaveFolder.View(), platform::ProgramFolder());
  EXPECT_FALSE(settings.Session.UseProxy);
}

}  // namespace
}  // namespace kivo
