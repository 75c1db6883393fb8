#include "platform/Utf8.h"

#include <gtest/gtest.h>

#include <string>

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
    EXPECT_EQ(Utf16FromUtf8(c.bytes), c.text);
    EXPECT_EQ(Utf8FromUtf16(c.text), c.bytes);
  }
}

TEST(Utf8Test, LoneSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf8FromUtf16(u"\xd800"), "\xef\xbf\xbd");
  EXPECT_EQ(Utf8FromUtf16(u"\xdc00"), "\xef\xbf\xbd");
}

}  // namespace
}  // namespace kivo::platform
