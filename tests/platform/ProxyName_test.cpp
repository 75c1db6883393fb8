#include "platform/ProxyName.h"

#include <gtest/gtest.h>

#include <string>

namespace kivo::platform {
namespace {

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
    SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
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
