#include "platform/Utf8.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/CodePage.h"
#include "platform/HttpTarget.h"

namespace kivo::platform {
namespace {

TEST(Utf8Test, DecodesWellFormedAndEscapesTheRest) {
  struct Case {
    std::string bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {"abc", u"abc"},
      {"\xc3\xa9", u"\u00e9"},
      {"\xe6\x97\xa5", u"\u65e5"},
      {"\xf0\x9f\x98\x80", u"\U0001F600"},
      {"\xc0\xaf", u"\xdcc0\xdcaf"},            // overlong
      {"\xed\xa0\x80", u"\xdced\xdca0\xdc80"},  // encoded surrogate
      {"\xe6\x97", u"\xdce6\xdc97"},            // cut short
      {"\xff", u"\xdcff"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(Utf16FromUtf8(c.bytes), c.text);
    EXPECT_EQ(Utf8FromUtf16(c.text), c.bytes);
  }
}

TEST(Utf8Test, LoneSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf8FromUtf16(u"\xd800"), "\xef\xbf\xbd");
  EXPECT_EQ(Utf8FromUtf16(u"\xdc00"), "\xef\xbf\xbd");
}

// A character beyond the first plane whose second unit lies in U+DC80..U+DCFF
// (U+1F480 is D83D DC80) is one character to every conversion; only the lone
// unit after the pairs is an escaped byte.
TEST(Utf8Test, PairsAreNeverTakenForEscapedBytes) {
  const std::u16string text = u"/\U0001F480\U000200C0\xdc80.html";
  const std::string utf8 = "/\xf0\x9f\x92\x80\xf0\xa0\x83\x80\x80.html";
  const std::string percent = "/%F0%9F%92%80%F0%A0%83%80\x80.html";
  const CodePage cp932("CP932");
  const CodePage utf8Page("UTF-8");
  const CodePage none("no-such-code-page");
  struct Case {
    const char* name;
    std::string bytes;
    std::string expected;
  };
  const Case cases[] = {
      {"Utf8FromUtf16", Utf8FromUtf16(text), utf8},
      {"UTF-8 code page", utf8Page.Encode(text), utf8},
      {"CP932", cp932.Encode(text), percent},
      {"no converter", none.Encode(text), percent},
      {"request target", EncodeRequestTarget(text).value_or(""),
       "/%F0%9F%92%80%F0%A0%83%80%80.html"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.bytes, c.expected);
  }
  EXPECT_EQ(Utf16FromUtf8(utf8), text);
  EXPECT_EQ(utf8Page.Decode(utf8), text);
}

}  // namespace
}  // namespace kivo::platform
