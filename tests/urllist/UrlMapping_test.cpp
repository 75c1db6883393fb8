#include "urllist/UrlMapping.h"

#include <gtest/gtest.h>

#include "common/TempDir.h"

namespace kivo {
namespace {

TEST(UrlMappingTest, FileNameOfUrl) {
  struct Case {
    std::u16string url;
    std::u16string name;
  };
  const Case cases[] = {
      {u"http://www.example.com", u"index.html"},
      {u"http://www.example.com/", u"index.html"},
      {u"HTTP://www.example.com", u"index.html"},  // the prefix test ignores case here
      {u"http://www.example.com/dir/", u"index.html"},
      {u"http://www.example.com/page.html#top", u"page.html"},
      {u"http://www.example.com/cgi?x=1", u"cgi"},
      {u"http://www.example.com/a.cgi?u=/b/c", u"c"},  // the last slash lies in the query
      {u"http://www.example.com/x;jsessionid=1?y#z", u"x"},
      {u"http://www.example.com/?q", u"index.html"},
      {u"http://www.example.com/news/index.asp?id=3", u"index.asp"},
      {u"http://www.example.com/%E6%97%A5.html", u"%E6%97%A5.html"},  // no decoding
      {u"https://www.example.com", u"index.html"},
      {u"HTTPS://www.example.com", u"index.html"},
      {u"https://www.example.com/a/b.gif", u"b.gif"},
      {u"ftp://host", u"host"},  // only http and https count as a bare host
      {u"no-slash-at-all", u"no-slash-at-all"},
      {u"", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(test::Utf8(c.url));
    EXPECT_EQ(FileNameOfUrl(c.url).View(), c.name);
  }
}

TEST(UrlMappingTest, ServerOfUrl) {
  struct Case {
    std::u16string url;
    std::u16string server;
  };
  const Case cases[] = {
      {u"http://www.example.com/a/b", u"www.example.com"},
      {u"http://www.example.com", u"www.example.com"},
      {u"http://www.example.com:80/a", u"www.example.com:80"},
      {u"http://www.example.com:8080", u"www.example.com:8080"},
      {u"http://www.example.com?id=3", u"www.example.com"},
      {u"http://www.example.com#top", u"www.example.com"},
      {u"HTTP://www.example.com/a", u"HTTP:"},  // case-sensitive here
      {u"https://secure.example.com/a", u"secure.example.com"},
      {u"Https://secure.example.com/a", u"Https:"},
      {u"www.example.com/a", u"www.example.com"},
      {u"", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(test::Utf8(c.url));
    EXPECT_EQ(ServerOfUrl(c.url).View(), c.server);
  }
}

TEST(UrlMappingTest, FileNameOfPath) {
  EXPECT_EQ(FileNameOfPath(u"/home/u/Kivo/index.html").View(), u"index.html");
  EXPECT_EQ(FileNameOfPath(u"index.html").View(), u"index.html");
  EXPECT_EQ(FileNameOfPath(u"/data/").View(), u"");
  EXPECT_EQ(FileNameOfPath(u"C:\\dir\\a.htm").View(), u"C:\\dir\\a.htm");
}

}  // namespace
}  // namespace kivo
