#include "platform/HttpTarget.h"

#include <gtest/gtest.h>

#include "platform/ProxyName.h"

namespace kivo::platform {
namespace {

TEST(HttpTargetTest, AuthoritiesAreCheckedAndSplit) {
  struct Case {
    std::u16string text;
    bool valid;
    std::string host;
    uint16_t port;
  };
  const Case cases[] = {
      {u"www.example.com", true, "www.example.com", 0},
      {u"host:8080", true, "host", 8080},
      {u"127.0.0.1:1", true, "127.0.0.1", 1},
      {u"[::1]:8080", true, "[::1]", 8080},
      {u"[::1]", true, "[::1]", 0},
      {u"under_score-dash", true, "under_score-dash", 0},
      {u"", false, "", 0},
      {u":80", false, "", 0},
      {u"host:", false, "", 0},
      {u"host:0", false, "", 0},
      {u"host:65536", false, "", 0},
      {u"host:8o", false, "", 0},
      {u"user@host", false, "", 0},
      {u"user:pw@host", false, "", 0},
      {u"HTTP:", false, "", 0},
      {u"ho st", false, "", 0},
      {u"ho\rst", false, "", 0},
      {u"h\u00f6st", false, "", 0},
      {u"[::1", false, "", 0},
      {u"[zz]", false, "", 0},
      {u"[::1]x", false, "", 0},
  };
  for (const Case& c : cases) {
    const auto authority = ParseAuthority(c.text);
    ASSERT_EQ(authority.has_value(), c.valid);
    if (c.valid) {
      EXPECT_EQ(authority->Host, c.host);
      EXPECT_EQ(authority->Port, c.port);
    }
  }
}

TEST(HttpTargetTest, OriginTextNamesTheSchemeAndAnExplicitPort) {
  EXPECT_EQ(OriginText(HttpScheme::Http, {"host", 0}), "http://host");
  EXPECT_EQ(OriginText(HttpScheme::Https, {"host", 8443}), "https://host:8443");
}

TEST(HttpTargetTest, TargetsMustStartWithASlashAndHoldNoControls) {
  EXPECT_EQ(EncodeRequestTarget(u""), std::nullopt);
  EXPECT_EQ(EncodeRequestTarget(u"page"), std::nullopt);
  EXPECT_EQ(EncodeRequestTarget(u"/a\rb"), std::nullopt);
  EXPECT_EQ(EncodeRequestTarget(u"/a\x1f"), std::nullopt);
  EXPECT_EQ(EncodeRequestTarget(u"/a b#c d"), "/a%20b#c%20d");
  EXPECT_EQ(EncodeRequestTarget(u"/~user/a;b?c=d&e=%2F#f"), "/~user/a;b?c=d&e=%2F#f");
}

TEST(ProxyNameTest, TheProxyFormsAreRead) {
  struct Case {
    std::u16string name;
    bool valid;
    std::string http;
    std::string https;
  };
  const Case cases[] = {
      {u"proxy:8080", true, "http://proxy:8080", "http://proxy:8080"},
      {u"proxy", true, "http://proxy:80", "http://proxy:80"},
      {u"http://proxy:3128/", true, "http://proxy:3128", "http://proxy:3128"},
      {u"http=proxy:8080", true, "http://proxy:8080", ""},
      {u"http=a:1 https=b:2", true, "http://a:1", "http://b:2"},
      {u"ftp=f:21;http=a:1", true, "http://a:1", ""},
      {u"", false, "", ""},
      {u" ; ", false, "", ""},
      {u"ftp=f:21", false, "", ""},
      {u"proxy:port", false, "", ""},
      {u"user@proxy:8080", false, "", ""},
  };
  for (const Case& c : cases) {
    const auto servers = ParseProxyName(c.name);
    ASSERT_EQ(servers.has_value(), c.valid);
    if (c.valid) {
      EXPECT_EQ(servers->Http, c.http);
      EXPECT_EQ(servers->Https, c.https);
    }
  }
}

}  // namespace
}  // namespace kivo::platform
