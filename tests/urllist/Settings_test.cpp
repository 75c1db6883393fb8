#include "urllist/Settings.h"

#include <gtest/gtest.h>

#include "common/ProgramHome.h"
#include "platform/FileExists.h"
#include "urllist/RegKey.h"

namespace kivo {
namespace {

TEST(SettingsTest, WithoutAFileEveryReadGivesItsDefault) {
  struct Case {
    Setting setting;
    const char16_t* name;
    uint32_t number;
  };
  const Case cases[] = {
      {Setting::UseProxy, u"UseProxy", 0},
      {Setting::ConnectTimeout, u"ConnectTimeout", 20},
      {Setting::ReceiveTimeout, u"ReceiveTimeout", 20},
      {Setting::DialupConnect, u"DialupConnect", 0},
      {Setting::CommandBandMenuStyle, u"CommandBandMenuStyle", 260},
      {Setting::CommandBandMenuWidth, u"CommandBandMenuWidth", 174},
      {Setting::CommandBandToolStyle, u"CommandBandToolStyle", 4},
      {Setting::CommandBandToolWidth, u"CommandBandToolWidth", 442},
      {Setting::CommandBandToolMaximized, u"CommandBandToolMaximized", 0},
      {Setting::NameWidth, u"NameWidth", 200},
      {Setting::UrlWidth, u"UrlWidth", 266},
      {Setting::LinkLevelWidth, u"LinkLevelWidth", 39},
      {Setting::LastTimeWidth, u"LastTimeWidth", 116},
      {Setting::MaxFileSize, u"MaxFileSize", 1024},
      {Setting::Connections, u"Connections", 4},
      {Setting::ChangeTest, u"ChangeTest", 2},
      {Setting::Notify, u"Notify", 1},
  };
  test::ProgramHome home;
  RegKey key;
  EXPECT_FALSE(key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath));
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.setting));
    EXPECT_EQ(SettingName(c.setting), c.name);
    EXPECT_EQ(InfoOf(c.setting).Type, kRegDword);
    EXPECT_EQ(ReadDwordSetting(key, c.setting), c.number);
  }
  for (Setting s : {Setting::SaveFolder, Setting::ProxyName, Setting::DialupEntry}) {
    EXPECT_EQ(InfoOf(s).Type, kRegSz);
    EXPECT_TRUE(ReadStringSetting(key, s, 260).IsEmpty());
  }
  EXPECT_EQ(AllSettings().size(), 20u);
  EXPECT_FALSE(FileExists(home.Dir().Wide("config/kivo/settings.reg")));
}

}  // namespace
}  // namespace kivo
