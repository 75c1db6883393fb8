#include "platform/HttpTarget.h"

#include <gtest/gtest.h>

#include "platform/ProxyName.h"

namespace kivo::platform {
namespace {

TEST(HttpTargetTest, AuthoritiesAreCheckedAndSplit) {
  struct Case {
    std::u16string text;
    std::string host;
    uint16_t port;
  };
  const Case cases[] = {
      {u"www.example.com", "www.example.com", 0},
      {u"host:8080", "host", 8080},
      {u"127.0.0.1:1", "127.0.0.1", 1},
      {u"[::1]:8080", "[::1]", 8080},
      {u"[::1]", "[::1]", 0},
      {u"under_score-dash", "under_score-dash", 0},
  };
  for (const Case& c : cases) {
    const auto authority = ParseAuthority(c.text);
    ASSERT_TRUE(authority.has_value());
    EXPECT_EQ(authority->Host, c.host);
    EXPECT_EQ(authority->Port, c.port);
  }
  for (const std::u16string bad :
       {u"", u":80", u"host:", u"host:0", u"host:65536", u"host:8o", u"user@host", u"user:pw@host",
        u"HTTP:", u"ho st", u"ho\rst", u"h\u00f6st", u"[::1", u"[zz]", u"[::1]x"}) {
    EXPECT_FALSE(ParseAuthority(bad).has_value());
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
    std::string http;
    std::string https;
  };
  const Case cases[] = {
      {u"proxy:8080", "http://proxy:8080", "http://proxy:8080"},
      {u"proxy", "http://proxy:80", "http://proxy:80"},
      {u"http://proxy:3128/", "http://proxy:3128", "http://proxy:3128"},
      {u"http=proxy:8080", "http://proxy:8080", ""},
      {u"http=a:1 https=b:2", "http://a:1", "http://b:2"},
      {u"ftp=f:21;http=a:1", "http://a:1", ""},
      {u"HTTP=proxy:3128", "http://proxy:3128", ""},
      {u"Https=b:2 p:1", "http://p:1", "http://b:2"},
      {u"socks=s:1080 p:1", "http://p:1", "http://p:1"},
      {u"p:1 http=a:1", "http://a:1", "http://p:1"},
  };
  for (const Case& c : cases) {
    const auto servers = ParseProxyName(c.name);
    ASSERT_TRUE(servers.has_value());
    EXPECT_EQ(servers->Http, c.http);
    EXPECT_EQ(servers->Https, c.https);
  }
  for (const std::u16string bad : {u"", u" ; ", u"ftp=f:21", u"proxy:port", u"user@proxy:8080"}) {
    EXPECT_FALSE(ParseProxyName(bad).has_value());
  }
}

}  // namespace
}  // namespace kivo::platform
