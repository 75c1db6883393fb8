#include "urllist/UrlMapping.h"

#include <gtest/gtest.h>

#include "common/TempDir.h"

namespace kivo {
namespace {

// Each row maps its text with the named function.
TEST(UrlMappingTest, NamesAndServersComeFromTheText) {
  struct Case {
    WideString (*Map)(std::u16string_view);
    std::u16string Text;
    std::u16string Mapped;
  };
  const Case cases[] = {
      {FileNameOfUrl, u"http://www.example.com", u"index.html"},
      {FileNameOfUrl, u"http://www.example.com/", u"index.html"},
      // The prefix test ignores case here.
      {FileNameOfUrl, u"HTTP://www.example.com", u"index.html"},
      {FileNameOfUrl, u"http://www.example.com/dir/", u"index.html"},
      {FileNameOfUrl, u"http://www.example.com/page.html#top", u"page.html"},
      {FileNameOfUrl, u"http://www.example.com/cgi?x=1", u"cgi"},
      // The last slash lies in the query.
      {FileNameOfUrl, u"http://www.example.com/a.cgi?u=/b/c", u"c"},
      {FileNameOfUrl, u"http://www.example.com/x;jsessionid=1?y#z", u"x"},
      {FileNameOfUrl, u"http://www.example.com/?q", u"index.html"},
      {FileNameOfUrl, u"http://www.example.com/news/index.asp?id=3", u"index.asp"},
      {FileNameOfUrl, u"http://www.example.com/%E6%97%A5.html", u"%E6%97%A5.html"},  // no decoding
      {FileNameOfUrl, u"https://www.example.com", u"index.html"},
      {FileNameOfUrl, u"HTTPS://www.example.com", u"index.html"},
      {FileNameOfUrl, u"https://www.example.com/a/b.gif", u"b.gif"},
      {FileNameOfUrl, u"ftp://host", u"host"},  // only http and https count as a bare host
      {FileNameOfUrl, u"no-slash-at-all", u"no-slash-at-all"},
      {FileNameOfUrl, u"", u""},
      {ServerOfUrl, u"http://www.example.com/a/b", u"www.example.com"},
      {ServerOfUrl, u"http://www.example.com", u"www.example.com"},
      {ServerOfUrl, u"http://www.example.com:80/a", u"www.example.com:80"},
      {ServerOfUrl, u"http://www.example.com:8080", u"www.example.com:8080"},
      {ServerOfUrl, u"http://www.example.com?id=3", u"www.example.com"},
      {ServerOfUrl, u"http://www.example.com#top", u"www.example.com"},
      {ServerOfUrl, u"HTTP://www.example.com/a", u"HTTP:"},  // case-sensitive here
      {ServerOfUrl, u"https://secure.example.com/a", u"secure.example.com"},
      {ServerOfUrl, u"Https://secure.example.com/a", u"Https:"},
      {ServerOfUrl, u"www.example.com/a", u"www.example.com"},
      {ServerOfUrl, u"", u""},
      {FileNameOfPath, u"/home/u/Kivo/index.html", u"index.html"},
      {FileNameOfPath, u"index.html", u"index.html"},
      {FileNameOfPath, u"/data/", u""},
      {FileNameOfPath, u"C:\\dir\\a.htm", u"C:\\dir\\a.htm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(test::Utf8(c.Text));
    EXPECT_EQ(c.Map(c.Text).View(), c.Mapped);
  }
}

}  // namespace
}  // namespace kivo
