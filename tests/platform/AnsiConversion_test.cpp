#include "platform/AnsiConversion.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <random>
#include <string>

namespace kivo {
namespace {

// Every test here runs with the default code page, CP932, unless it sets one.
class AnsiConversionTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("KIVO_CODEPAGE", "CP932", 1); }
  void TearDown() override { ::setenv("KIVO_CODEPAGE", "CP932", 1); }
};

// Characters and escaped bytes convert both ways; characters that CP932
// lacks are written as percent-encoded UTF-8, which does not decode back.
TEST_F(AnsiConversionTest, Cp932CharactersEscapedBytesAndUnrepresentableCharacters) {
  struct Case {
    std::string bytes;
    std::u16string text;
    bool decodes = true;  // AnsiToWide(bytes) gives back text
  };
  const Case cases[] = {
      {"\x8a\xbf", u"\u6f22"},      // one kanji: two bytes, one code unit
      {"\xb1", u"\uff71"},          // half-width katakana
      {"\x5c", u"\\"},              // 0x5C stays a backslash, not a yen sign
      {"\x95\x5c", u"\u8868"},      // a kanji whose second byte is 0x5C
      {"a\x82\xa0z", u"a\u3042z"},  // hiragana between ASCII
      {"", u""},
      // Bytes that do not decode are escaped.
      {"\x80", u"\xdc80"},
      {"a\xa0", u"a\xdca0"},
      {"\xfd\xfe\xff", u"\xdcfd\xdcfe\xdcff"},
      {"\x81", u"\xdc81"},         // lead byte cut off at the end
      {"\x81\x20x", u"\xdc81 x"},  // lead byte with an invalid trail byte
      // A lead and a trail byte that make no character go together, so the
      // backslash after them is not taken for a trail byte.
      {"\x83\x99\\", u"\xdc83\xdc99\\"},
      {"a%E2%82%AC", u"a\u20ac", false},           // euro sign: not in CP932
      {"%F0%9F%98%80", u"\U0001F600", false},      // surrogate pair as one character
      {"%EF%BF%BDx", u"\xd800x", false},           // lone surrogate
      {"%C3%A9\x82\xa0", u"\u00e9\u3042", false},  // mixed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    if (c.decodes) {
      EXPECT_EQ(AnsiToWide(c.bytes.data(), static_cast<int64_t>(c.bytes.size())).View(), c.text);
    }
    EXPECT_EQ(WideToAnsi(c.text), c.bytes);
  }
}

TEST_F(AnsiConversionTest, DuplicateMappingsStayReversible) {
  // NEC-selected IBM extensions (rows 0xED/0xEE) decode to the same kanji as
  // the IBM extensions (rows 0xFA..0xFC), which the encoder prefers.
  for (const std::string bytes : {"\xed\x40", "\xee\xc7x", "a\xfa\x5c\xed\x7a"}) {
    SCOPED_TRACE(bytes);
    EXPECT_EQ(WideToAnsi(DecodeAnsi(bytes)), bytes);
  }
}

// Every single byte, then random strings in several code pages.
TEST_F(AnsiConversionTest, ByteStringsRoundTrip) {
  for (int b = 1; b < 256; ++b) {
    const std::string bytes(1, static_cast<char>(b));
    EXPECT_EQ(WideToAnsi(AnsiToWide(bytes.data(), 1).View()), bytes) << b;
  }
  std::mt19937 random(1234);
  for (const char* codePage : {"CP932", "UTF-8", "ISO-8859-1", "NO-SUCH-CODEPAGE"}) {
    ::setenv("KIVO_CODEPAGE", codePage, 1);
    for (int i = 0; i < 300; ++i) {
      std::string bytes(random() % 64, '\0');
      for (char& c : bytes) {
        c = static_cast<char>(1 + random() % 255);  // NUL would end the text
      }
      ASSERT_EQ(WideToAnsi(DecodeAnsi(bytes)), bytes) << codePage;
    }
  }
}

// NUL ends the text whatever the count says; the code page comes from the environment.
TEST_F(AnsiConversionTest, TerminationAndCodePageFromTheEnvironment) {
  EXPECT_EQ(AnsiToWide("abc\0def", -1).View(), u"abc");
  EXPECT_EQ(AnsiToWide("abc\0def", 7).View(), u"abc");
  EXPECT_TRUE(AnsiToWide(nullptr, 3).IsEmpty());
  ::setenv("KIVO_CODEPAGE", "UTF-8", 1);
  EXPECT_EQ(AnsiToWide("\xe6\xbc\xa2", 3).View(), u"\u6f22");
  EXPECT_EQ(WideToAnsi(u"\u6f22"), "\xe6\xbc\xa2");
  EXPECT_EQ(DecodeAnsi("\x8a\xbf"), u"\xdc8a\xdcbf");
}

}  // namespace
}  // namespace kivo
