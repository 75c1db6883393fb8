#include "platform/HttpTarget.h"

#include <gtest/gtest.h>

#include "common/TempDir.h"

namespace kivo::platform {
namespace {

TEST(HttpTargetTest, AuthoritiesAreCheckedAndSplit) {
  struct Case {
    std::u16string text;
    std::string host;
    uint16_t port;
  };
  const Case cases[] = {{u"www.example.com", "www.example.com", 0},
                        {u"host:8080", "host", 8080},
                        {u"127.0.0.1:1", "127.0.0.1", 1},
                        {u"[::1]:8080", "[::1]", 8080},
                        {u"[::1]", "[::1]", 0},
                        {u"under_score-dash", "under_score-dash", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    const auto authority = ParseAuthority(c.text);
    ASSERT_TRUE(authority.has_value());
    EXPECT_EQ(authority->Host, c.host);
    EXPECT_EQ(authority->Port, c.port);
  }
  for (const std::u16string bad :
       {u"", u":80", u"host:", u"host:0", u"host:65536", u"host:8o", u"user@host", u"user:pw@host",
        u"HTTP:", u"ho st", u"ho\rst", u"h\u00f6st", u"[::1", u"[zz]", u"[::1]x", u"file:"}) {
    SCOPED_TRACE(test::Utf8(bad));
    EXPECT_FALSE(ParseAuthority(bad).has_value());
  }
}

// Query and fragment stay; only what must is encoded, in the code page (Shift-JIS in the tests).
TEST(HttpTargetTest, TargetsKeepQueryAndFragmentAndEncodeOnlyWhatMust) {
  const std::pair<std::string, std::string> cases[] = {
      {"/a/b.cgi?x=1&y=2#top", "/a/b.cgi?x=1&y=2#top"},
      {"/", "/"},
      {"/with space/x?q=a b#c d", "/with%20space/x?q=a%20b#c%20d"},
      {"/%41lready", "/%41lready"},
      {"/~user/a;b?c=d&e=%2F#f", "/~user/a;b?c=d&e=%2F#f"},
      {"/日本", "/%93%FA%96%7B"},
      {"/q\"<>`{}|", "/q%22%3C%3E%60%7B%7D|"}};
  for (const auto& [path, target] : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(EncodeRequestTarget(test::U16(path)), target);
  }
  for (const std::u16string bad :
       {u"", u"page", u"/a\rb", u"/a\nb", u"/a\tb", u"/a\x1f", u"/a\x7f"}) {
    SCOPED_TRACE(test::Utf8(bad));
    EXPECT_EQ(EncodeRequestTarget(bad), std::nullopt);
  }
}

}  // namespace
}  // namespace kivo::platform
