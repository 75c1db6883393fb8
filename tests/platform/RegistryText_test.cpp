#include "platform/RegistryText.h"

#include <gtest/gtest.h>

#include <string>

namespace kivo::platform {
namespace {

constexpr char16_t kKey[] = u"HKEY_CURRENT_USER\\K";

struct ValueCase {
  const char* line;
  uint32_t type;
  std::string data;
};

TEST(RegistryTextTest, ReadsEveryValueForm) {
  const ValueCase cases[] = {
      {"\"A\"=dword:0000001e", 4, std::string("\x1e\0\0\0", 4)},
      {"\"A\"=dword:FFFFFFFF", 4, "\xff\xff\xff\xff"},
      {"\"A\"=\"x\"", 1, std::string("x\0\0\0", 4)},
      {"\"A\"=\"\"", 1, std::string("\0\0", 2)},
      {"\"A\"=\"q\\\"\\\\\"", 1, std::string("q\0\"\0\\\0\0\0", 8)},
      {"\"A\"=\"\xEF\xBD\xB1\"", 1, std::string("\x71\xFF\0\0", 4)},  // half-width katakana
      {"\"A\"=hex:01,ab,FF", 3, "\x01\xab\xff"},
      {"\"A\"=hex(7):61,00,\\\n  00,00", 7, std::string("a\0\0\0", 4)},
      {"\"A\"=hex(b):", 11, ""},
      {"\"A\" = dword:1", 4, std::string("\x01\0\0\0", 4)},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.line);
    const RegistryParseResult result =
        ParseRegistryText(std::string("[HKEY_CURRENT_USER\\K]\r\n") + c.line + "\r\n");
    EXPECT_TRUE(result.Clean);
    const RegistryValue* value = result.Document.FindValue(kKey, u"a");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->Type, c.type);
    EXPECT_EQ(value->Data, c.data);
  }
}

TEST(RegistryTextTest, SkipsWhatItCannotReadAndKeepsTheRest) {
  const char* const badLines[] = {
      "\"A\"=dword:123456789",
      "\"A\"=dword:",
      "\"A\"=hex:1,2,xyz",
      "\"A\"=hex(:01",
      "\"A\"=\"open",
      "\"A\"",
      "garbage",
      "\"A\"=-",
      "[-HKEY_CURRENT_USER\\K]",
  };
  for (const char* bad : badLines) {
    SCOPED_TRACE(bad);
    const RegistryParseResult result = ParseRegistryText(
        std::string("[HKEY_CURRENT_USER\\K]\n\"B\"=dword:00000002\n") + bad + "\n\"C\"=\"c\"\n");
    EXPECT_FALSE(result.Clean);
    EXPECT_NE(result.Document.FindValue(kKey, u"B"), nullptr);
    EXPECT_EQ(result.Document.FindValue(kKey, u"A"), nullptr);
  }
  // Values before any key line have nowhere to go.
  EXPECT_FALSE(ParseRegistryText("\"A\"=dword:00000001\n").Clean);
}

TEST(RegistryTextTest, ReadsUtf16FilesWithAByteOrderMark) {
  const std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n"
      u"\"Name\"=\"ﾃｽﾄ\"\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  const RegistryParseResult result = ParseRegistryText(bytes);
  EXPECT_TRUE(result.Clean);
  const RegistryValue* value = result.Document.FindValue(kKey, u"Name");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->Data, std::string("\x83\xFF\x7D\xFF\x84\xFF\0\0", 8));
}

TEST(RegistryTextTest, FormatWritesTextThatReadsBackExactly) {
  RegistryDocument document;
  document.SetValue(kKey, u"Text", 1, std::string("a\0\"\0\\\0\0\0", 8));
  document.SetValue(kKey, u"Tab", 1, std::string("\t\0\0\0", 4));
  document.SetValue(kKey, u"Lone", 1, std::string("\x00\xD8\0\0", 4));
  document.SetValue(kKey, u"NoNul", 1, std::string("a\0", 2));
  document.SetValue(kKey, u"Short", 4, std::string("\x01\x02", 2));
  document.SetValue(kKey, u"", 4, std::string("\x14\0\0\0", 4));
  document.AddKey(u"HKEY_CURRENT_USER\\Empty");
  const std::string text = FormatRegistryText(document);
  EXPECT_EQ(text,
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n"
            "\"Text\"=\"a\\\"\\\\\"\n\"Tab\"=hex(1):09,00,00,00\n\"Lone\"=hex(1):00,d8,00,00\n"
            "\"NoNul\"=hex(1):61,00\n\"Short\"=hex(4):01,02\n@=dword:00000014\n\n"
            "[HKEY_CURRENT_USER\\Empty]\n");
  const RegistryParseResult again = ParseRegistryText(text);
  EXPECT_TRUE(again.Clean);
  EXPECT_EQ(again.Document, document);
}

TEST(RegistryTextTest, KeysExistWhenThemselvesOrADescendantArePresent) {
  const RegistryDocument document =
      ParseRegistryText("[HKEY_CURRENT_USER\\Software\\Ostrel\\Kivo\\Version 1.0]\n").Document;
  EXPECT_TRUE(document.HasKey(u"HKEY_CURRENT_USER\\Software\\Ostrel\\Kivo\\Version 1.0"));
  EXPECT_TRUE(document.HasKey(u"hkey_current_user\\SOFTWARE\\Ostrel"));
  EXPECT_FALSE(document.HasKey(u"HKEY_CURRENT_USER\\Soft"));
  EXPECT_FALSE(document.HasKey(u"HKEY_CURRENT_USER\\Software\\Ostrel\\Kivo\\Version 1.0\\X"));
}

}  // namespace
}  // namespace kivo::platform
