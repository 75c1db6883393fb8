#include "urllist/RegKey.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <thread>

#include "common/ProgramHome.h"
#include "urllist/Settings.h"

namespace kivo {
namespace {

class RegKeyTest : public ::testing::Test {
 protected:
  std::string StorePath() { return home_.File("config/kivo/settings.reg"); }
  void WriteStore(const std::string& text) {
    ::mkdir(home_.File("config").c_str(), 0700);
    ::mkdir(home_.File("config/kivo").c_str(), 0700);
    ASSERT_TRUE(test::WriteBytes(StorePath(), text));
  }

  test::ProgramHome home_;
};

constexpr char kKeyLine[] = "[HKEY_CURRENT_USER\\Software\\Ostrel\\Kivo\\Version 1.0]\n";

TEST_F(RegKeyTest, WritesCreateTheFileInRegistryExportFormat) {
  RegKey writer;
  ASSERT_TRUE(writer.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath));
  ASSERT_TRUE(WriteDwordSetting(writer, Setting::ConnectTimeout, 45));
  ASSERT_TRUE(WriteStringSetting(writer, Setting::SaveFolder, u"/data/\"ﾃﾞｰﾀ\"\\"));
  ASSERT_TRUE(WriteDwordSetting(writer, Setting::ConnectTimeout, 600));
  EXPECT_TRUE(writer.Close());

  EXPECT_EQ(test::ReadBytes(StorePath()), std::string("Windows Registry Editor Version 5.00\n\n") +
                                              kKeyLine +
                                              "\"ConnectTimeout\"=dword:00000258\n"
                                              "\"SaveFolder\"=\"/data/\\\"ﾃﾞｰﾀ\\\"\\\\\"\n");

  RegKey reader;
  ASSERT_TRUE(reader.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath));
  EXPECT_EQ(ReadDwordSetting(reader, Setting::ConnectTimeout), 600u);
  EXPECT_EQ(ReadStringSetting(reader, Setting::SaveFolder, 260).View(), u"/data/\"ﾃﾞｰﾀ\"\\");
  EXPECT_EQ(ReadDwordSetting(reader, Setting::NameWidth), 200u);
}

TEST_F(RegKeyTest, DwordReadsFollowTheStoredSize) {
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

TEST_F(RegKeyTest, ReadStringAlwaysTerminatesWithinTheBuffer) {
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

TEST_F(RegKeyTest, MalformedFileNeitherCrashesNorBlocksWriters) {
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

TEST_F(RegKeyTest, WritesFromTwoThreadsLoseNothing) {
  constexpr int kWrites = 12;
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

// Close reports whether a key was open, and a closed key neither reads nor writes.
TEST_F(RegKeyTest, NamesThatWouldBreakTheFileAreRefusedAndCloseEndsAccess) {
  RegKey key;
  EXPECT_FALSE(key.Close());
  ASSERT_TRUE(key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath));
  const uint32_t one = 1;
  EXPECT_FALSE(key.WriteValue(u"two\nlines", kRegDword, &one, 4));
  EXPECT_FALSE(key.WriteValue(std::u16string(1, u'\xD800'), kRegDword, &one, 4));
  EXPECT_TRUE(key.WriteValue(u"", kRegDword, &one, 4));
  EXPECT_EQ(key.ReadDword(u"", 0), 1u);
  RegKey bad;
  EXPECT_FALSE(bad.OpenForWrite(RegRoot::CurrentUser, u"Software\r\nX"));
  EXPECT_TRUE(key.Close());
  EXPECT_FALSE(key.Close());
  EXPECT_EQ(key.ReadDword(u"", 9), 9u);
  EXPECT_FALSE(WriteDwordSetting(key, Setting::UseProxy, 1));
}

}  // namespace
}  // namespace kivo
