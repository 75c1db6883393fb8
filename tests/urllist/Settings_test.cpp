#include "urllist/Settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include <string>
#include <thread>

#include "common/ScopedEnv.h"
#include "common/TempDir.h"
#include "platform/FileExists.h"
#include "urllist/RegKey.h"

namespace kivo {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest()
      : config_("XDG_CONFIG_HOME", dir_.File("config")), home_("KIVO_HOME", dir_.File("home")) {}

  std::string StorePath() { return dir_.File("config/kivo/settings.reg"); }
  void WriteStore(const std::string& text) {
    ::mkdir(dir_.File("config").c_str(), 0700);
    ::mkdir(dir_.File("config/kivo").c_str(), 0700);
    ASSERT_TRUE(test::WriteBytes(StorePath(), text));
  }

  test::TempDir dir_;
  test::ScopedEnv config_;
  test::ScopedEnv home_;
};

constexpr char kKeyLine[] = "[HKEY_CURRENT_USER\\Software\\Ostrel\\Kivo\\Version 1.0]\n";

TEST_F(SettingsTest, WithoutAFileEveryReadGivesItsDefault) {
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
  };
  RegKey key;
  EXPECT_FALSE(key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath));
  for (const Case& c : cases) {
    EXPECT_EQ(SettingName(c.setting), c.name);
    EXPECT_EQ(InfoOf(c.setting).Type, kRegDword);
    EXPECT_EQ(ReadDwordSetting(key, c.setting), c.number) << SettingName(c.setting).size();
  }
  for (Setting s : {Setting::SaveFolder, Setting::ProxyName, Setting::DialupEntry}) {
    EXPECT_EQ(InfoOf(s).Type, kRegSz);
    EXPECT_TRUE(ReadStringSetting(key, s, 260).IsEmpty());
  }
  EXPECT_EQ(AllSettings().size(), 18u);
  EXPECT_FALSE(FileExists(test::U16(StorePath())));
}

TEST_F(SettingsTest, WritesCreateTheFileInRegistryExportFormat) {
  RegKey writer;
  ASSERT_TRUE(writer.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath));
  ASSERT_TRUE(WriteDwordSetting(writer, Setting::ConnectTimeout, 45));
  ASSERT_TRUE(WriteStringSetting(writer, Setting::SaveFolder, u"/data/\"ﾃﾞｰﾀ\"\\"));
  const uint8_t blob[] = {1, 2, 0xff};
  ASSERT_TRUE(writer.WriteValue(u"Blob", 3, blob, sizeof blob));
  ASSERT_TRUE(writer.WriteValue(u"Odd", 7, blob, 0));
  ASSERT_TRUE(WriteDwordSetting(writer, Setting::ConnectTimeout, 600));
  EXPECT_TRUE(writer.Close());

  EXPECT_EQ(test::ReadBytes(StorePath()), std::string("Windows Registry Editor Version 5.00\n\n") +
                                              kKeyLine +
                                              "\"ConnectTimeout\"=dword:00000258\n"
                                              "\"SaveFolder\"=\"/data/\\\"ﾃﾞｰﾀ\\\"\\\\\"\n"
                                              "\"Blob\"=hex:01,02,ff\n"
                                              "\"Odd\"=hex(7):\n");

  RegKey reader;
  ASSERT_TRUE(reader.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath));
  EXPECT_EQ(ReadDwordSetting(reader, Setting::ConnectTimeout), 600u);
  EXPECT_EQ(ReadStringSetting(reader, Setting::SaveFolder, 260).View(), u"/data/\"ﾃﾞｰﾀ\"\\");
  EXPECT_EQ(ReadDwordSetting(reader, Setting::NameWidth), 200u);
}

TEST_F(SettingsTest, DwordReadsFollowTheStoredSize) {
  WriteStore(std::string("Windows Registry Editor Version 5.00\n\n") + kKeyLine +
             "\"ConnectTimeout\"=\"20\"\n"
             "\"ReceiveTimeout\"=\"5\"\n"
             "\"UrlWidth\"=hex:34,12\n"
             "\"NameWidth\"=hex(4):\n"
             "\"LastTimeWidth\"=hex(4):01,00,00,00,00\n");
  RegKey key;
  ASSERT_TRUE(key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath));
  EXPECT_EQ(ReadDwordSetting(key, Setting::ConnectTimeout), 20u);    // 6 bytes: the default
  EXPECT_EQ(ReadDwordSetting(key, Setting::ReceiveTimeout), 0x35u);  // "5" and NUL: 4 bytes
  EXPECT_EQ(ReadDwordSetting(key, Setting::UrlWidth), 0x1234u);      // zero-extended
  EXPECT_EQ(ReadDwordSetting(key, Setting::NameWidth), 0u);
  EXPECT_EQ(ReadDwordSetting(key, Setting::LastTimeWidth), 116u);
  EXPECT_EQ(key.ReadDword(u"urlwidth", 7), 0x1234u);  // names ignore ASCII case
}

TEST_F(SettingsTest, ReadStringAlwaysTerminatesWithinTheBuffer) {
  WriteStore(std::string("Windows Registry Editor Version 5.00\n\n") + kKeyLine +
             "\"Long\"=\"abcdefgh\"\n"
             "\"NoNul\"=hex(1):61,00,62,00\n"
             "\"OddSize\"=hex(1):61,00,62\n"
             "\"Fits\"=\"abc\"\n");
  const struct {
    const char16_t* name;
    uint32_t capacityBytes;
    const char16_t* expected;
  } cases[] = {
      {u"Long", 8, u"abc"}, {u"Long", 9, u"abc"},   {u"Long", 2, u""},    {u"NoNul", 4, u"a"},
      {u"NoNul", 6, u"ab"}, {u"OddSize", 20, u"a"}, {u"Fits", 8, u"abc"}, {u"Fits", 42, u"abc"},
  };
  RegKey key;
  ASSERT_TRUE(key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.capacityBytes));
    char16_t buffer[32];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    ASSERT_EQ(key.ReadString(c.name, buffer, c.capacityBytes), buffer);
    EXPECT_EQ(std::u16string(buffer), c.expected);
    EXPECT_EQ(buffer[c.capacityBytes / 2], u'#');  // nothing written past the buffer
  }
  char16_t buffer[4] = {u'x', u'#', u'#', u'#'};
  EXPECT_EQ(key.ReadString(u"Missing", buffer, sizeof buffer), nullptr);
  EXPECT_EQ(buffer[0], u'\0');
  EXPECT_EQ(key.ReadString(u"Long", buffer, 1), nullptr);
}

TEST_F(SettingsTest, CloseReportsWhetherAKeyWasOpen) {
  RegKey key;
  EXPECT_FALSE(key.Close());
  ASSERT_TRUE(key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath));
  EXPECT_TRUE(key.Close());
  EXPECT_FALSE(key.Close());
  EXPECT_EQ(key.ReadDword(u"UseProxy", 9), 9u);
  EXPECT_FALSE(WriteDwordSetting(key, Setting::UseProxy, 1));
}

TEST_F(SettingsTest, MalformedFileNeitherCrashesNorBlocksWriters) {
  const std::string garbage = std::string("\xff\x00junk\n[unclosed\n", 17) + kKeyLine +
                              "\"UrlWidth\"=dword:0000012c\n"
                              "\"Broken\"=dword:xyz\n"
                              "\"Cut\"=hex:01,0\\\n"
                              "no value line\n"
                              "\"DialupEntry\"=\"ppp\n";
  WriteStore(garbage);
  RegKey key;
  ASSERT_TRUE(key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath));
  EXPECT_EQ(ReadDwordSetting(key, Setting::UrlWidth), 300u);
  EXPECT_TRUE(ReadStringSetting(key, Setting::DialupEntry, 21).IsEmpty());
  key.Close();

  ASSERT_TRUE(key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath));
  ASSERT_TRUE(WriteDwordSetting(key, Setting::NameWidth, 150));
  EXPECT_EQ(ReadDwordSetting(key, Setting::UrlWidth), 300u);
  EXPECT_EQ(ReadDwordSetting(key, Setting::NameWidth), 150u);
  EXPECT_EQ(key.ReadDword(u"Cut", 0), 0x0001u);
  EXPECT_EQ(test::ReadBytes(StorePath() + ".bak"), garbage);
}

TEST_F(SettingsTest, WritesFromTwoThreadsLoseNothing) {
  constexpr int kWrites = 40;
  const auto writer = [](char16_t prefix) {
    for (int i = 0; i < kWrites; ++i) {
      RegKey key;
      key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath);
      const std::u16string name = prefix + test::U16(std::to_string(i));
      const uint32_t value = static_cast<uint32_t>(i);
      key.WriteValue(name, kRegDword, &value, sizeof value);
      key.Close();
    }
  };
  std::thread a(writer, u'A');
  std::thread b(writer, u'B');
  a.join();
  b.join();
  RegKey key;
  ASSERT_TRUE(key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath));
  for (char16_t prefix : {u'A', u'B'}) {
    for (int i = 0; i < kWrites; ++i) {
      const std::u16string name = prefix + test::U16(std::to_string(i));
      EXPECT_EQ(key.ReadDword(name, 999), static_cast<uint32_t>(i));
    }
  }
}

TEST_F(SettingsTest, NamesThatWouldBreakTheFileAreRefused) {
  RegKey key;
  ASSERT_TRUE(key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath));
  const uint32_t one = 1;
  EXPECT_FALSE(key.WriteValue(u"two\nlines", kRegDword, &one, 4));
  EXPECT_FALSE(key.WriteValue(std::u16string(1, u'\xD800'), kRegDword, &one, 4));
  EXPECT_TRUE(key.WriteValue(u"", kRegDword, &one, 4));
  EXPECT_EQ(key.ReadDword(u"", 0), 1u);
  RegKey bad;
  EXPECT_FALSE(bad.OpenForWrite(RegRoot::CurrentUser, u"Software\r\nX"));
}

}  // namespace
}  // namespace kivo
