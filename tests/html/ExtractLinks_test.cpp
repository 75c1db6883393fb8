#include "html/ExtractLinks.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "common/PageFolders.h"
#include "html/PageBytes.h"

namespace kivo {
namespace {

using test::DescribeLinks;
using test::TempDir;
using test::U16;
using test::WriteBytes;

constexpr char16_t kPageUrl[] = u"http://host/dir/page.html";

// Extracts the links of the page at `path` in the code page CP932.
bool Extract(PageLinks& links, std::u16string_view pageUrl, std::u16string_view path) {
  const platform::CodePage ansi("CP932");
  return ExtractLinks(links, pageUrl, path, ansi);
}

std::string ExtractFromPage(const std::string& page, std::u16string_view pageUrl = kPageUrl) {
  TempDir dir;
  EXPECT_TRUE(WriteBytes(dir.File("page.html"), page));
  PageLinks links;
  EXPECT_TRUE(Extract(links, pageUrl, dir.Wide("page.html")));
  return DescribeLinks(links);
}

struct Case {
  const char* name;
  std::string page;
  const char* expected;
};

const Case kCases[] = {
    {"names in any case", "<img src=a.gif>", "I http://host/dir/a.gif\n"},
    {"first attribute only", "<IMG SRC=a.gif SRC=b.gif>", "I http://host/dir/a.gif\n"},
    {"single quotes", "<IMG SRC='a.gif'>", "I http://host/dir/a.gif\n"},
    {"double quotes", "<IMG SRC=\"a.gif\">", "I http://host/dir/a.gif\n"},
    {"blanks around =", "<IMG SRC \t= \"a.gif\" >", "I http://host/dir/a.gif\n"},
    {"line breaks", "<IMG\r\nSRC=a.gif\nALT=x>", "I http://host/dir/a.gif\n"},
    {"= then >", "<IMG SRC=><IMG SRC=b.gif>", "I http://host/dir/b.gif\n"},
    {"A cuts the fragment", "<A HREF=p.html#sec>", "L http://host/dir/p.html\n"},
    {"A fragment only", "<a href='#top'>", "L http://host/dir/page.html\n"},
    {"AREA keeps the fragment", "<AREA HREF=p.html#sec>", "L http://host/dir/p.html#sec\n"},
    {"mailto dropped", "<a href=\"mailto:me@host\">", ""},
    {"MAILTO taken", "<a href=\"MAILTO:me@host\">", "L MAILTO:me@host\n"},
    {"mailto in AREA taken", "<area href=mailto:me@host>", "L mailto:me@host\n"},
    {"A cut before the mailto test", "<a href=mail#to:x>", "L http://host/dir/mail\n"},
    {"listed once", "<img src=a.gif><IMG SRC='a.gif'><img src=\"a.gif\">",
     "I http://host/dir/a.gif\n"},
    {"first occurrence order", "<a href=c><a href=a><a href=c><a href=b><a href=a>",
     "L http://host/dir/c\nL http://host/dir/a\nL http://host/dir/b\n"},
    {"one URL in two lists", "<a href=f.html><frame src=f.html>",
     "L http://host/dir/f.html\nF http://host/dir/f.html\n"},
    {"BASE ignored", "<base href=\"http://other/x/\"><a href=b.html>",
     "L http://host/dir/b.html\n"},
    {"end tags, comments, ABBR, ADDRESS",
     "</a href=x.html><!-- x --><abbr href=y.html><address href=z.html>", ""},
    {"a comment ends at its first >", "<!-- <a href=c.html> --><!-- > <a href=d.html> -->",
     "L http://host/dir/d.html\n"},
    {"script text is scanned", "<script>document.write('<a href=\"s.html\">');</script>",
     "L http://host/dir/s.html\n"},
    {"unclosed quote at the end", "<p><a href=\"x.html", "L http://host/dir/x.html\n"},
    {"empty quoted value", "<img src=\"\">", "I http://host/dir/page.html\n"},
    {"every tag of the table",
     "<body background=bg.gif><table background=t.gif><input src=i.gif><iframe src=if.html>"
     "<link href=s.css><script src=j.js></script><frame src=f.html>",
     "I http://host/dir/bg.gif\nI http://host/dir/t.gif\nI http://host/dir/i.gif\n"
     "F http://host/dir/if.html\nF http://host/dir/s.css\nF http://host/dir/j.js\n"
     "F http://host/dir/f.html\n"},
    {"exact names in the second pass", "<IMGX SRC=a.gif><FRAMESET SRC=f.html><AX HREF=b>", ""},
    {"a quoted > ends the attribute search", "<img alt='>' src=a.gif>", ""},
    {"a > inside a longer quoted value does not", "<img alt=\"a>b\" src=a.gif>",
     "I http://host/dir/a.gif\n"},
    {"a value of > is not taken", "<img src=\">\"><img src=b.gif>", "I http://host/dir/b.gif\n"},
    {"other attributes before", "<a name=x title=\"t t\" HrEf=y.html>",
     "L http://host/dir/y.html\n"},
    {"ESC is a delimiter, not a blank", "<img\x1bsrc=a.gif>", ""},
    {"Shift-JIS value", "<a href=\"\x93\xfa\x96\x7b.html\">",
     "L http://host/dir/\xE6\x97\xA5\xE6\x9C\xAC.html\n"},
    {"blanks after <", "< \n img src=a.gif>", "I http://host/dir/a.gif\n"},
    {"too long to resolve: skipped", "<a href=" + std::string(1100, 'n') + "><a href=ok.html>",
     "L http://host/dir/ok.html\n"},
    {"empty page", "", ""},
    // The newer rows: srcset candidates as a browser splits them, values
    // required, character references decoded in the tags they read.
    {"srcset candidates",
     "<img srcset=\" a.png 1x ,b.png,, c.png (1, 2) 2x\"><source srcset=a.png,b.png>",
     "I http://host/dir/a.png\nI http://host/dir/b.png\nI http://host/dir/c.png\n"
     "I http://host/dir/a.png,b.png\n"},
    {"newer rows need a value, an icon needs rel=icon",
     "<link rel=apple-touch-icon href=t.png><link rel=icon><video poster=''><img srcset>",
     "F http://host/dir/t.png\n"},
    {"references decoded in a claimed tag", "<img src=a&amp;b srcset=c&#38;d>",
     "I http://host/dir/a&b\nI http://host/dir/c&d\n"},
    {"references read as in a browser's attribute", "<img srcset=\"x?a&copy=2 1x, y&lt.png 2x\">",
     "I http://host/dir/x?a&copy=2\nI http://host/dir/y<.png\n"},
    {"words end at NUL", std::string("<img src=a\0b.gif>", 17), "I http://host/dir/a\n"},
    // The page ends in places where a careless scanner reads past it.
    {"ends in <", "<a href=x.html><", "L http://host/dir/x.html\n"},
    {"ends in blanks after <", "<a href=x.html>< \n", "L http://host/dir/x.html\n"},
    {"ends in a prefix", "<a href=x.html><IF", "L http://host/dir/x.html\n"},
    {"ends in a tag name", "<a href=x.html><IMG", "L http://host/dir/x.html\n"},
    {"ends after =", "<img src=", ""},
    {"ends in a word", "<img src=a.g", "I http://host/dir/a.g\n"},
    {"ends in an empty quote", "<img src='", "I http://host/dir/page.html\n"},
    {"ends in a rejected tag", "<a href=x.html><p class=y", "L http://host/dir/x.html\n"},
};

TEST(ExtractLinksTest, Cases) {
  for (const Case& c : kCases) {
    EXPECT_EQ(ExtractFromPage(c.page), c.expected) << c.name;
  }
}

TEST(ExtractLinksTest, EarlierResultsAreReplacedAlsoWhenTheFileIsMissing) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir.File("p.html"), "<img src=a.gif>"));
  PageLinks links;
  links.ImageUrls.Add(std::make_unique<WideString>(u"http://host/dir/a.gif"));
  links.FrameUrls.Add(std::make_unique<WideString>(u"http://old/"));
  ASSERT_TRUE(Extract(links, kPageUrl, dir.Wide("p.html")));
  EXPECT_EQ(DescribeLinks(links), "I http://host/dir/a.gif\n");
  EXPECT_FALSE(Extract(links, kPageUrl, dir.Wide("missing.html")));
  EXPECT_EQ(DescribeLinks(links), "");
}

TEST(ExtractLinksTest, PagesAboveTheLimitAreNotAnalysed) {
  TempDir dir;
  const std::string path = dir.File("big.html");
  ASSERT_TRUE(WriteBytes(path, "<img src=a.gif>"));
  // A sparse file: the size counts, not the disk space.
  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kMaxAnalysedPageBytes + 1)), 0);
  PageLinks links;
  EXPECT_TRUE(Extract(links, kPageUrl, U16(path)));
  EXPECT_EQ(DescribeLinks(links), "");
}

TEST(ExtractLinksTest, EachListKeepsItsFirstUrlsUpToTheCap) {
  // A dense page must not turn every link into a stored URL: each list stops
  // at the cap, in page order, and a full list does not stop the others.
  std::string page;
  for (int i = 0; i < kMaxUrlsPerList + 10; ++i) {
    page += "<a href=" + std::to_string(i) + ">";
  }
  page += "<img src=a.gif><a href=0>";
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir.File("page.html"), page));
  PageLinks links;
  ASSERT_TRUE(Extract(links, kPageUrl, dir.Wide("page.html")));
  ASSERT_EQ(links.LinkUrls.Count(), kMaxUrlsPerList);
  EXPECT_EQ(links.LinkUrls[0]->View(), u"http://host/dir/0");
  EXPECT_EQ(links.LinkUrls[kMaxUrlsPerList - 1]->View(),
            U16("http://host/dir/" + std::to_string(kMaxUrlsPerList - 1)));
  EXPECT_EQ(links.ImageUrls.Count(), 1);
}

}  // namespace
}  // namespace kivo
