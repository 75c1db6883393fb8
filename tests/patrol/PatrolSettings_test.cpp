#include "patrol/PatrolSettings.h"

#include <gtest/gtest.h>

#include "common/ScopedEnv.h"
#include "common/TempDir.h"
#include "platform/ProgramFolder.h"
#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo {
namespace {

// The rules themselves are the settings table's and EditRules'; this shows that a patrol reads
// its settings through them, in milliseconds.
TEST(PatrolSettingsTest, TimeOutsAreClampedAndAnEmptySaveFolderIsTheProgramFolder) {
  test::TempDir home;
  test::ScopedEnv programFolder("KIVO_HOME", home.File("prog"));
  test::ScopedEnv settingsFolder("XDG_CONFIG_HOME", home.File("config"));
  RegKey key;
  ASSERT_TRUE(key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath));
  WriteDwordSetting(key, Setting::ConnectTimeout, 5);
  WriteDwordSetting(key, Setting::ReceiveTimeout, 45);
  WriteDwordSetting(key, Setting::MaxFileSize, 2);
  WriteStringSetting(key, Setting::SaveFolder, u"");
  key.Close();
  const PatrolSettings settings = ReadPatrolSettings();
  EXPECT_EQ(settings.Session.ConnectTimeoutMs, 10000u);
  EXPECT_EQ(settings.Session.ReceiveTimeoutMs, 45000u);
  EXPECT_EQ(settings.MaxFileBytes, 2u << 20);
  EXPECT_EQ(settings.SaveFolder.View(), platform::ProgramFolder());
  EXPECT_FALSE(settings.Session.UseProxy);
}

}  // namespace
}  // namespace kivo
