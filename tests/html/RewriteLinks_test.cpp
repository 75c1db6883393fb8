#include "html/RewriteLinks.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "common/PageFolders.h"
#include "html/PageBytes.h"

namespace kivo {
namespace {

using test::ReadBytes;
using test::ReplaceAll;
using test::U16;
using test::WriteBytes;

// The page folders with the records of one patrol.
class RewriteLinksTest : public ::testing::Test, protected test::PageFolders {
 protected:
  void SetUp() override {
    page_.Url.Assign(u"http://host/dir/page.html");
    page_.LocalPath.Assign(U16(PagePath()));
    AddImage("http://host/dir/a.gif", dir_.File("aB.gif"));
    AddImage("http://host/dir/dup.gif", dir_.File("first.gif"));
    AddImage("http://host/dir/dup.gif", dir_.File("second.gif"));
    AddImage("http://host/img/other.gif", OtherFolder() + "/other.gif");
    AddPage("http://host/dir/page.html", dir_.File("pageL.html"));
    AddPage("http://host/dir/p.html", dir_.File("pA.html"));
    AddPage("http://host/dir/x#a/b", dir_.File("frag.html"));
    AddPage("http://host/dir/q.html#sec", dir_.File("qsec.html"));
    AddPage("http://host/dir/f.html", dir_.File("fr.html"));
    AddPage("http://host/o.html", OtherFolder() + "/o.html");
    AddPage("http://host/dir/my%20doc.html", dir_.File("my%20doc.html"));
    AddPage("http://host/dir/Talk:Main", dir_.File("Talk:Main"));
  }
  void AddImage(const std::string& url, const std::string& path) { images_.Add(Record(url, path)); }
  void AddPage(const std::string& url, const std::string& path) { pages_.Add(Record(url, path)); }
  static std::unique_ptr<FetchedFile> Record(const std::string& url, const std::string& path) {
    auto file = std::make_unique<FetchedFile>();
    file->Url.Assign(U16(url));
    file->LocalPath.Assign(U16(path));
    return file;
  }

  // Writes `page`, rewrites it and returns the file's bytes afterwards.
  std::string Rewrite(const std::string& page) {
    EXPECT_TRUE(WriteBytes(PagePath(), page));
    RewriteLinks(U16(PagePath()), page_, images_, pages_, setup_);
    return ReadBytes(PagePath());
  }
  // Expands {P} (placeholder) and {O} (the other folder) in an expected text.
  std::string Expand(const std::string& text) const {
    return ReplaceAll(ReplaceAll(text, "{P}", Placeholder()), "{O}", OtherFolder());
  }
  // The names in the page folder.
  std::string FolderListing() const {
    std::string names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
      names += entry.path().filename().string() + " ";
    }
    return names;
  }

  FetchedFile page_;
  FetchedFileList images_;
  FetchedFileList pages_;
};

struct Case {
  const char* name;
  std::string page;
  std::string expected;
};

const Case kCases[] = {
    {"no listed tags", "<p>hello</p>\r\n<br><abbr href=p.html>",
     "<p>hello</p>\r\n<br><abbr href=p.html>"},
    {"no matching attribute", "<img alt=x><a name=y><table>", "<img alt=x><a name=y><table>"},
    {"empty page", "", ""},
    {"fetched image, quoted", "<Img  Src = \"a.gif\" alt=x>", "<Img  Src = \"aB.gif\" alt=x>"},
    {"absolute value of a fetched image", "<IMG SRC='http://host/dir/a.gif'>",
     "<IMG SRC='aB.gif'>"},
    {"missing image, quoted", "<IMG SRC='n.gif'>", "<IMG SRC='{P}'>"},
    {"missing image, unquoted", "<img src=n.gif alt=x>", "<img src={P} alt=x>"},
    {"first record wins", "<img src=dup.gif>", "<img src=first.gif>"},
    {"body, table, input", "<body background=a.gif><TABLE BACKGROUND=n.gif><input src=a.gif>",
     "<body background=aB.gif><TABLE BACKGROUND={P}><input src=aB.gif>"},
    {"A to the own page", "<a href=\"#name\">", "<a href=\"pageL.html#name\">"},
    {"A to a fetched page with a fragment", "<a href=p.html#s>", "<a href=pA.html#s>"},
    {"A to a page not fetched", "<a href=n.html#s>", "<a href=http://host/dir/n.html>"},
    {"A fragment with a slash is kept for the lookup", "<a href=x#a/b>", "<a href=frag.html>"},
    {"A fragment with a slash, not fetched", "<a href=n#a/b>", "<a href=http://host/dir/n#a/b>"},
    {"AREA looks up with the fragment", "<area href=q.html#sec><AREA HREF=p.html#s>",
     "<area href=qsec.html><AREA HREF=http://host/dir/p.html#s>"},
    {"A without attributes", "<a><A>", "<a><A>"},
    {"A and a line feed", "<a\nhref=p.html>", "<a\nhref=pA.html>"},
    {"A and two blanks", "<a  href=p.html>", "<a  href=pA.html>"},
    {"ADDRESS and AREA are not A", "<address href=p.html>", "<address href=p.html>"},
    {"> in a quoted value ends the search", "<img alt=\"a>b\" src=a.gif>",
     "<img alt=\"a>b\" src=a.gif>"},
    {"LOWSRC before SRC", "<img lowsrc=l.gif src=a.gif>", "<img lowsrc={P} src=a.gif>"},
    {"DATASRC before SRC", "<IMG DATASRC=\"a.gif\" SRC=x>", "<IMG DATASRC=\"aB.gif\" SRC=x>"},
    {"the name inside another value", "<img alt=\"xsrc=y\" src=a.gif>",
     "<img alt=\"xsrc={P} src=a.gif>"},
    {"name without =", "<img src alt=x src=a.gif>", "<img src alt=x src=a.gif>"},
    {"= then >", "<img src=>", "<img src={P}>"},
    {"FRAMESET counts as FRAME", "<frameset src=f.html><FRAME SRC=n.html>",
     "<frameset src=fr.html><FRAME SRC=http://host/dir/n.html>"},
    {"IMGX counts as IMG", "<imgx src=a.gif>", "<imgx src=aB.gif>"},
    {"IMG inside script text", "<script>document.write(\"<img src='a.gif'>\")</script>",
     "<script>document.write(\"<img src='aB.gif'>\")</script>"},
    {"IMG inside a comment", "<!-- <img src=a.gif> -->", "<!-- <img src=aB.gif> -->"},
    {"link rows", "<link href=s.css><script src=j.js></script><iframe src=f.html>",
     "<link href=http://host/dir/s.css><script src=http://host/dir/j.js></script>"
     "<iframe src=fr.html>"},
    {"names that a browser would read as URL syntax",
     "<a href=my%20doc.html><a href=/dir/Talk:Main>",
     "<a href=my%2520doc.html><a href=./Talk:Main>"},
    {"end tags", "</img src=a.gif></a href=p.html>", "</img src=a.gif></a href=p.html>"},
    // A base would send the local names elsewhere; an empty one is the page's
    // own address. A page of the classic constructs alone keeps it.
    {"BASE kept", "<base href=\"http://other/\"><a href=p.html>",
     "<base href=\"http://other/\"><a href=pA.html>"},
    {"BASE emptied beside a newer reference",
     "<base href=\"http://other/\"><a href=p.html><img srcset=a.gif>",
     "<base href=\"\"><a href=pA.html><img srcset={P}>"},
    {"BASE without quotes", "<BASE HREF=http://other/ target=_top><img srcset=a.gif>",
     "<BASE HREF=\"\" target=_top><img srcset={P}>"},
    {"BASE in a comment, or without a value", "<!-- <base href=x> --><base href='' target=t>",
     "<!-- <base href=x> --><base href='' target=t>"},
    {"< starts a new tag", "<<img src=n.gif>< <IMG src=n.gif>", "<<img src={P}>< <IMG src={P}>"},
    {"blanks after <", "< \t\nimg src=a.gif>", "< \t\nimg src=aB.gif>"},
    {"records in another folder",
     "<img src=/img/other.gif><a href='/o.html#t'><frame src=../o.html>",
     "<img src={O}/other.gif><a href='{O}/o.html#t'><frame src={O}/o.html>"},
    {"replacements are unquoted", "<a href='a b.html'><a href=\"c\">",
     "<a href='http://host/dir/a b.html'><a href=\"http://host/dir/c\">"},
    {"Shift-JIS value", "<a href=\"\x93\xfa\x96\x7b.html\">\x93\xfa\x96\x7b",
     "<a href=\"http://host/dir/\x93\xfa\x96\x7b.html\">\x93\xfa\x96\x7b"},
    {"too long to resolve", "<a href=" + std::string(1100, 'n') + ">",
     "<a href=" + std::string(1100, 'n') + ">"},
    {"NUL ends an unquoted value", std::string("<img src=a\0b>", 13),
     std::string("<img src={P}\0b>", 15)},
    // The page ends where a careless scanner reads past it.
    {"ends in <", "<img src=a.gif><", "<img src=aB.gif><"},
    {"ends in blanks after <", "<img src=a.gif>< \n", "<img src=aB.gif>< \n"},
    {"ends in a tag test", "<img src=a.gif><IM", "<img src=aB.gif><IM"},
    {"ends after A", "<img src=a.gif><a", "<img src=aB.gif><a"},
    {"ends in the search", "<img src=a.gif><img alt=x", "<img src=aB.gif><img alt=x"},
    {"ends in an attribute name", "<img src=a.gif><img sr", "<img src=aB.gif><img sr"},
    {"ends after the name", "<img src=a.gif><img src ", "<img src=aB.gif><img src "},
    {"ends after =", "<img src=a.gif><img src = ", "<img src=aB.gif><img src = {P}"},
    {"ends in an unquoted value", "<img src=a.gif><img src=a.gi", "<img src=aB.gif><img src={P}"},
    {"unclosed quote", "<img src=a.gif><img src=\"a.gif><img src=a.gif>",
     "<img src=aB.gif><img src=\"a.gif><img src=a.gif>"},
    // The newer rows read tags whole and write for the attribute's syntax.
    {"SRC after SRCSET", "<img srcset='n.gif 2x' src=a.gif>", "<img srcset='{P} 2x' src=aB.gif>"},
    {"a quoted > in a newer tag", "<img alt='>' srcset=a.gif>", "<img alt='>' srcset=aB.gif>"},
    {"newer values are written escaped", "<audio src=s?a&amp;b>",
     "<audio src=http://host/dir/s?a&amp;b>"},
    {"a classic edit wins an overlap", "<img style=\"b:url(src=a.gif)\">",
     "<img style=\"b:url(src={P}>"},
    {"NUL before the closing quote",
     std::string("<img src=a.gif><img src='a\0'><img src=a.gif>", 44),
     std::string("<img src=aB.gif><img src='a\0'><img src=a.gif>", 45)},
};

TEST_F(RewriteLinksTest, Cases) {
  for (const Case& c : kCases) {
    EXPECT_EQ(Rewrite(c.page), Expand(c.expected)) << c.name;
  }
  EXPECT_EQ(FolderListing().find(".tmp"), std::string::npos) << FolderListing();
}

TEST_F(RewriteLinksTest, MissingPageIsNotCreated) {
  RewriteLinks(U16(PagePath()), page_, images_, pages_, setup_);
  EXPECT_FALSE(std::filesystem::exists(PagePath()));
  EXPECT_EQ(FolderListing(), "other ");
}

TEST_F(RewriteLinksTest, PagesWithNothingToChangeOrAboveTheLimitAreNotReplaced) {
  for (const bool tooLarge : {false, true}) {
    SCOPED_TRACE(tooLarge ? "above the limit" : "nothing to change");
    ASSERT_TRUE(WriteBytes(PagePath(), tooLarge ? "<img src=a.gif>" : "<p>plain <img alt=x></p>"));
    if (tooLarge) {
      ASSERT_EQ(::truncate(PagePath().c_str(), static_cast<off_t>(kMaxAnalysedPageBytes + 1)), 0);
    }
    struct stat before {};
    ASSERT_EQ(::stat(PagePath().c_str(), &before), 0);
    RewriteLinks(U16(PagePath()), page_, images_, pages_, setup_);
    // A rewritten page is a new file renamed over the old one.
    struct stat after {};
    ASSERT_EQ(::stat(PagePath().c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_size, after.st_size);
  }
}

TEST_F(RewriteLinksTest, RewrittenPageKeepsItsPermissions) {
  ASSERT_TRUE(WriteBytes(PagePath(), "<img src=a.gif>"));
  ASSERT_EQ(::chmod(PagePath().c_str(), 0640), 0);
  RewriteLinks(U16(PagePath()), page_, images_, pages_, setup_);
  EXPECT_EQ(ReadBytes(PagePath()), "<img src=aB.gif>");
  struct stat after {};
  ASSERT_EQ(::stat(PagePath().c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
}

TEST_F(RewriteLinksTest, StagedPagesReplaceTheOriginalsOnlyWhenCommitted) {
  const std::string second = PagePath() + ".second.html";
  for (const bool commit : {false, true}) {
    ASSERT_TRUE(WriteBytes(PagePath(), "<img src=a.gif>"));
    ASSERT_TRUE(WriteBytes(second, "<a href=p.html>"));
    {
      platform::PendingReplacements pending;
      RewriteLinks(U16(PagePath()), page_, images_, pages_, setup_, pending);
      RewriteLinks(U16(second), page_, images_, pages_, setup_, pending);
      EXPECT_EQ(pending.Count(), 2);
      EXPECT_EQ(ReadBytes(PagePath()), "<img src=a.gif>");
      if (commit) {
        EXPECT_EQ(pending.Commit(), 2);
      }
    }
    EXPECT_EQ(ReadBytes(PagePath()), commit ? "<img src=aB.gif>" : "<img src=a.gif>");
    EXPECT_EQ(ReadBytes(second), commit ? "<a href=pA.html>" : "<a href=p.html>");
    EXPECT_EQ(FolderListing().find(".tmp"), std::string::npos) << FolderListing();
  }
}

TEST_F(RewriteLinksTest, FailedWriteLeavesTheOriginal) {
  // A file-size limit below the new page's size makes its writes fail the way
  // a full disk would, even for root.
  std::string page;
  while (page.size() < 300000) {
    page += "<img src=a.gif> some text between the images ";
  }
  ASSERT_TRUE(WriteBytes(PagePath(), page));
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit previous{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
  rlimit limited = previous;
  limited.rlim_cur = 100000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  RewriteLinks(U16(PagePath()), page_, images_, pages_, setup_);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &previous), 0);
  EXPECT_EQ(ReadBytes(PagePath()), page);
  EXPECT_EQ(FolderListing().find(".tmp"), std::string::npos) << FolderListing();
}

TEST_F(RewriteLinksTest, LargePagesComeOutAsWrittenByteByByte) {
  // Pieces of many sizes put edits on both sides of every 64 KiB block
  // boundary; a long unchanged run is written straight through.
  struct Piece {
    std::string in;
    std::string out;
  };
  const Piece pieces[] = {
      {"<img src=a.gif>", "<img src=aB.gif>"},
      {"text \x93\xfa\x96\x7b ", "text \x93\xfa\x96\x7b "},
      {"<a href=p.html#s>", "<a href=pA.html#s>"},
      {"<img src=n.gif>", "<img src={P}>"},
      {std::string(70000, 'x'), std::string(70000, 'x')},
      {"<a href=q>", "<a href=http://host/dir/q>"},
  };
  std::string page;
  std::string expected;
  for (int i = 0; page.size() < 3000000; ++i) {
    const Piece& piece = pieces[(i * 7 + i / 5) % 6];
    if (piece.in.size() > 1000 && i % 13 != 0) {
      continue;
    }
    page += piece.in;
    expected += piece.out;
  }
  EXPECT_EQ(Rewrite(page), Expand(expected));
}

}  // namespace
}  // namespace kivo
