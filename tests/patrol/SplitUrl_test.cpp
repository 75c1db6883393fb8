#include "patrol/SplitUrl.h"

#include <gtest/gtest.h>

#include <string>

#include "common/TempDir.h"

namespace kivo {
namespace {

// Over-long parts are cut to 255 and 1023 characters and reported.
TEST(SplitUrlTest, HostAndPathAreSplitAtTheFirstSlash) {
  const std::u16string h255(255, u'h');
  const std::u16string p1023 = u"/" + std::u16string(1022, u'p');
  struct Case {
    std::u16string url;
    std::u16string host;
    std::u16string path;
    UrlScheme scheme;
    bool truncated;
  };
  const Case cases[] = {
      {u"http://www.example.com", u"www.example.com", u"/", UrlScheme::Http, false},
      {u"http://www.example.com/", u"www.example.com", u"/", UrlScheme::Http, false},
      {u"http://host:8080/a/b?q=1#top", u"host:8080", u"/a/b?q=1#top", UrlScheme::Http, false},
      {u"https://host/x", u"host", u"/x", UrlScheme::Https, false},
      // The host also ends at a query or a fragment.
      {u"http://example.com?id=3", u"example.com", u"/?id=3", UrlScheme::Http, false},
      {u"http://host:81#top", u"host:81", u"/#top", UrlScheme::Http, false},
      // The prefix test is case-sensitive: the text before the first slash is the host.
      {u"HTTP://host/x", u"HTTP:", u"//host/x", UrlScheme::None, false},
      {u"ftp://host/x", u"ftp:", u"//host/x", UrlScheme::None, false},
      {u"file:///etc/passwd", u"file:", u"///etc/passwd", UrlScheme::None, false},
      {u"host/page", u"host", u"/page", UrlScheme::None, false},
      {u"", u"", u"/", UrlScheme::None, false},
      {u"http://" + h255 + p1023, h255, p1023, UrlScheme::Http, false},
      {u"http://" + h255 + u"h/", h255, u"/", UrlScheme::Http, true},
      {u"http://h" + p1023 + u"p", u"h", p1023, UrlScheme::Http, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(test::Utf8(c.url.substr(0, 40)));
    WideString host(u"stale");
    WideString path(u"stale");
    const SplitUrlResult result = SplitUrl(c.url, host, path);
    EXPECT_EQ(host.View(), c.host);
    EXPECT_EQ(path.View(), c.path);
    EXPECT_EQ(result.Scheme, c.scheme);
    EXPECT_EQ(result.Truncated, c.truncated);
  }
}

}  // namespace
}  // namespace kivo
