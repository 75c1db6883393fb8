#include <gtest/gtest.h>

#include <string>

#include "common/PageFolders.h"
#include "html/DocumentKind.h"
#include "html/StyleSheetLinks.h"

namespace kivo {
namespace {

using test::DescribeLinks;
using test::ReadBytes;
using test::ReplaceAll;
using test::U16;
using test::WriteBytes;

constexpr char16_t kSheetUrl[] = u"http://host/css/site.css";

class StyleSheetTest : public ::testing::Test, protected test::PageFolders {
 protected:
  void SetUp() override {
    Add(images_, "http://host/css/a.png", dir_.File("aA.png"));
    Add(images_, "http://host/img/b.png", OtherFolder() + "/b.png");
    Add(images_, "http://host/css/sp.svg", dir_.File("spA.svg"));
    Add(pages_, "http://host/css/base.css", dir_.File("baseA.css"));
  }
  static void Add(FetchedFileList& list, const std::string& url, const std::string& path) {
    list.Add(
        std::make_unique<FetchedFile>(FetchedFile{WideString(U16(url)), WideString(U16(path))}));
  }
  std::string SheetPath() const { return dir_.File("site.css"); }

  std::string Extract(const std::string& sheet) {
    EXPECT_TRUE(WriteBytes(SheetPath(), sheet));
    PageLinks links;
    EXPECT_TRUE(ExtractStyleSheetLinks(links, kSheetUrl, U16(SheetPath()), ansi_));
    return DescribeLinks(links);
  }
  std::string Rewrite(const std::string& sheet) {
    EXPECT_TRUE(WriteBytes(SheetPath(), sheet));
    const FetchedFile self{WideString(kSheetUrl), WideString(U16(SheetPath()))};
    platform::PendingReplacements pending;
    RewriteStyleSheet(U16(SheetPath()), self, images_, pages_, setup_, pending);
    pending.Commit();
    return ReadBytes(SheetPath());
  }
  // Expands {P} (placeholder) and {O} (the other folder).
  std::string Expand(const std::string& text) const {
    return ReplaceAll(ReplaceAll(text, "{P}", Placeholder()), "{O}", OtherFolder());
  }

  FetchedFileList images_;
  FetchedFileList pages_;
};

struct SheetCase {
  const char* name;
  std::string sheet;
  const char* links;
  std::string rewritten;
};

const SheetCase kSheetCases[] = {
    {"@import as string and url()", "@import \"base.css\";\n@import url(n.css) screen;",
     "F http://host/css/base.css\nF http://host/css/n.css\n",
     "@import \"baseA.css\";\n@import url(http://host/css/n.css) screen;"},
    {"url() with blanks, quotes and any case",
     "a{background:url( a.png )}b{background:URL('../img/b.png')}c{x:url(\"n.png\")}",
     "I http://host/css/a.png\nI http://host/img/b.png\nI http://host/css/n.png\n",
     "a{background:url( aA.png )}b{background:URL('{O}/b.png')}c{x:url(\"{P}\")}"},
    {"escapes read and written", "@import \"q\\\"x.css\";@import url(s\\ p.css);",
     "F http://host/css/q\"x.css\nF http://host/css/s p.css\n",
     "@import \"http://host/css/q\\\"x.css\";@import url(http://host/css/s\\20 p.css);"},
    {"a hex escape takes one blank", "a{b:url(a\\2e png)}", "I http://host/css/a.png\n",
     "a{b:url(aA.png)}"},
    {"comments, strings and other functions",
     "/* url(c.png) */a{content:\"url(s.png)\";x:myurl(m.png);y:url();z:url( '' )}", "",
     "/* url(c.png) */a{content:\"url(s.png)\";x:myurl(m.png);y:url();z:url( '' )}"},
    {"data, own fragment, namespace; a fragment stays",
     "@namespace svg url(http://www.w3.org/2000/svg);\n"
     "a{b:url(data:image/png;base64,AAAA);c:url(#f);d:url(sp.svg#i);e:url(sp.svg#j)}",
     "I http://host/css/sp.svg\n",
     "@namespace svg url(http://www.w3.org/2000/svg);\n"
     "a{b:url(data:image/png;base64,AAAA);c:url(#f);d:url(spA.svg#i);e:url(spA.svg#j)}"},
    {"a url() a browser drops", "a{b:url(x\"y.png) c:url(a.png) d:url(n .png)}",
     "I http://host/css/a.png\n", "a{b:url(x\"y.png) c:url(aA.png) d:url(n .png)}"},
    {"nested url(", "url(url(url(a.png)))url(a.png)", "I http://host/css/a.png\n",
     "url(url(url(a.png)))url(aA.png)"},
    {"unterminated comment", "a{b:url(a.png)}/* url(n.png)", "I http://host/css/a.png\n",
     "a{b:url(aA.png)}/* url(n.png)"},
    {"a string ends at its line", "a{content:\"x\nb:url(a.png)}", "I http://host/css/a.png\n",
     "a{content:\"x\nb:url(aA.png)}"},
    {"a Shift-JIS trail byte is no escape", "a{content:\"\x83\x5c\";b:url(a.png)}",
     "I http://host/css/a.png\n", "a{content:\"\x83\x5c\";b:url(aA.png)}"},
    {"a lead byte before a quote stands alone", "a{content:\"\x83\";b:url(a.png)}",
     "I http://host/css/a.png\n", "a{content:\"\x83\";b:url(aA.png)}"},
    {"an escaped CR LF goes on with the string", "a{content:\"x\\\r\nurl(n.png)\";b:url(a.png)}",
     "I http://host/css/a.png\n", "a{content:\"x\\\r\nurl(n.png)\";b:url(aA.png)}"},
    {"a lead and a trail byte that make no character", "@import \"\x83\x99\\\"\";a{b:url(a.png)}",
     "I http://host/css/a.png\nF http://host/css/\x83\x99\"\n",
     "@import \"http://host/css/\x83\x99\\\"\";a{b:url(aA.png)}"},
    // An escape written after a lead byte that makes no character would
    // lose its backslash to it as a trail byte; the byte is written as %92.
    {"an escape after a lone lead byte", "@import url(t\x92>x);", "F http://host/css/t\x92>x\n",
     "@import url(http://host/css/t%92\\3e x);"},
    // The second half of U+1F481 is no escaped byte, though it looks like one.
    {"a character beyond the first plane before an escape", "@import \"\\1F481>\";",
     "F http://host/css/\xF0\x9F\x92\x81>\n", "@import \"http://host/css/%F0%9F%92%81\\3e \";"},
    {"markup in a reference is escaped", "a{b:url(\"a.png#\\3c/style>\")}",
     "I http://host/css/a.png\n", "a{b:url(\"aA.png#\\3c /style\\3e \")}"},
    {"the sheet ends inside url(", "a{b:url(a.png", "I http://host/css/a.png\n", "a{b:url(aA.png"},
    {"the sheet ends inside a string", "@import 'base.css", "F http://host/css/base.css\n",
     "@import 'baseA.css"},
};

TEST_F(StyleSheetTest, ExtractsAndRewritesTheReferences) {
  for (const SheetCase& c : kSheetCases) {
    EXPECT_EQ(Extract(c.sheet), c.links) << c.name;
    EXPECT_EQ(Rewrite(c.sheet), Expand(c.rewritten)) << c.name;
  }
}

TEST_F(StyleSheetTest, HostileSheetsAreReadToTheirEndWithinTheCap) {
  // Deep nesting and many URLs: each list stops at the cap, nothing crashes.
  std::string sheet;
  for (int i = 0; i < 200000; ++i) {
    sheet += "url(";
  }
  for (int i = 0; i < kMaxUrlsPerList + 10; ++i) {
    sheet += ")url(" + std::to_string(i) + ".png";
  }
  PageLinks links;
  ExtractStyleSheetLinksFromBytes(links, kSheetUrl, sheet, ansi_);
  ASSERT_EQ(links.ImageUrls.Count(), kMaxUrlsPerList);
  EXPECT_EQ(links.ImageUrls[0]->View(), u"http://host/css/0.png");
}

TEST(DocumentKindTest, TypeDecidesThenName) {
  struct Case {
    const char* type;
    const char16_t* url;
    DocumentKind kind;
  };
  const Case cases[] = {
      {"text/css", u"http://h/style.php", DocumentKind::StyleSheet},
      {" Text/CSS ; charset=utf-8", u"http://h/s", DocumentKind::StyleSheet},
      {"", u"http://h/a/site.CSS?v=2", DocumentKind::StyleSheet},
      {"text/plain", u"http://h/site.css", DocumentKind::StyleSheet},
      {"text/html", u"http://h/missing.css", DocumentKind::Page},
      {"", u"http://h/page.html", DocumentKind::Page},
      {"", u"http://h/css/", DocumentKind::Page},
      {"video/mp4", u"http://h/m.mp4", DocumentKind::Media},
      {"audio/ogg", u"http://h/a.css", DocumentKind::Media},
      {"application/pdf", u"http://h/d", DocumentKind::Media},
      {"application/javascript", u"http://h/j.js", DocumentKind::Page},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KindOfDocument(c.type, c.url), c.kind) << c.type << " " << test::Utf8(c.url);
  }
}

}  // namespace
}  // namespace kivo
