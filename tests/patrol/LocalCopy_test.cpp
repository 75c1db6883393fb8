#include "patrol/LocalCopy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "common/TempDir.h"
#include "platform/FileExists.h"

namespace kivo {
namespace {

TEST(LocalCopySuffixTest, TheSequenceKeepsItsStrictThresholds) {
  struct Case {
    int32_t k;
    std::u16string suffix;
  };
  const Case cases[] = {
      {0, u"A"},     {1, u"B"},     {25, u"Z"},       {26, u"A"},        {27, u"BB"},
      {28, u"BC"},   {51, u"BZ"},   {52, u"CA"},      {675, u"ZZ"},      {676, u"A"},
      {677, u"BAB"}, {17576, u"A"}, {17577, u"BAAB"}, {456975, u"ZZZZ"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.k);
    const auto suffix = LocalCopySuffix(c.k);
    ASSERT_TRUE(suffix.has_value());
    EXPECT_EQ(suffix->View(), c.suffix);
  }
}

TEST(LocalCopySuffixTest, TheSearchEndsWhereTheLettersWouldLeaveAToZ) {
  EXPECT_EQ(LocalCopySuffix(kMaxLocalCopySuffix + 1), std::nullopt);
  EXPECT_EQ(LocalCopySuffix(-1), std::nullopt);
  for (int32_t k = 0; k <= kMaxLocalCopySuffix; k += 997) {
    const auto suffix = LocalCopySuffix(k);
    ASSERT_TRUE(suffix.has_value()) << k;
    for (char16_t ch : suffix->View()) {
      ASSERT_TRUE(ch >= u'A' && ch <= u'Z') << k;
    }
  }
}

class LocalCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::WriteBytes(dir_.File("Kivo0000.tmp"), "downloaded"));
    folder_ = dir_.Wide("");
  }

  bool Save(const std::u16string& url, WideString& localPath) {
    return SaveAsLocalCopy(dir_.Wide("Kivo0000.tmp"), folder_, url, localPath);
  }

  test::TempDir dir_;
  std::u16string folder_;  // ends with '/'
};

// Successive copies of one URL take the next free suffix.
TEST_F(LocalCopyTest, NamesComeFromTheUrlWithAspAndShtmlBecomingHtml) {
  struct Case {
    std::u16string url;
    std::string name;
  };
  const Case cases[] = {
      {u"http://h/news/index.asp?id=3", "index.html"},
      {u"http://h/news/index.asp?id=3", "indexA.html"},
      {u"http://h/index.html", "indexB.html"},
      {u"http://h/list.ASP", "list.html"},
      {u"http://h/a.Shtml", "a.html"},
      {u"http://h/logo", "logo"},
      {u"http://h/page.HTM", "page.HTM"},
      {u"http://h/run.cgi", "run.cgi"},
      {u"http://h/archive.tar.gz", "archive.tar.gz"},
      // A name past the file system's 255 bytes is cut so that every copy fits.
      {u"http://h/" + std::u16string(300, u'x') + u".html", std::string(246, 'x') + ".html"},
      {u"http://h/" + std::u16string(300, u'x') + u".html", std::string(246, 'x') + "A.html"},
      {u"http://h/" + std::u16string(100, u'\u3042') + u".html",
       test::Utf8(std::u16string(82, u'\u3042')) + ".html"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WideString localPath;
    EXPECT_TRUE(Save(c.url, localPath));
    EXPECT_EQ(localPath.View(), dir_.Wide(c.name));
    EXPECT_EQ(test::ReadBytes(dir_.File(c.name)), "downloaded");
  }
}

TEST_F(LocalCopyTest, AFolderOnAnotherFileSystemGetsARealCopy) {
  // A second name only works within one file system; elsewhere the bytes are copied.
  struct stat shm {};
  struct stat here {};
  if (::stat("/dev/shm", &shm) != 0 || ::stat(dir_.Path().c_str(), &here) != 0 ||
      shm.st_dev == here.st_dev) {
    GTEST_SKIP() << "no second file system to copy to";
  }
  const std::string folder = "/dev/shm/kivo-copy-" + std::to_string(::getpid());
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  WideString localPath;
  EXPECT_TRUE(SaveAsLocalCopy(dir_.Wide("Kivo0000.tmp"), test::U16(folder + "/"), u"http://h/a.gif",
                              localPath));
  EXPECT_EQ(test::ReadBytes(folder + "/a.gif"), "downloaded");
  struct stat copy {};
  EXPECT_EQ(::stat((folder + "/a.gif").c_str(), &copy), 0);
  const mode_t umask = ::umask(0);
  ::umask(umask);
  EXPECT_EQ(copy.st_mode & 0777, 0644u & ~umask);
  ::unlink((folder + "/a.gif").c_str());
  ::rmdir(folder.c_str());
}

// A file, a folder or a dangling symbolic link under the candidate's name
// takes it: the copy goes to the next name and never writes through the link.
TEST_F(LocalCopyTest, ATakenNameIsSkippedAndNeverOverwritten) {
  const std::string elsewhere = dir_.File("elsewhere.txt");
  ASSERT_TRUE(test::WriteBytes(dir_.File("file.html"), "older copy"));
  ASSERT_EQ(::mkdir(dir_.File("folder.html").c_str(), 0755), 0);
  ASSERT_EQ(::symlink(elsewhere.c_str(), dir_.File("link.html").c_str()), 0);
  for (const std::string name : {"file", "folder", "link"}) {
    SCOPED_TRACE(name);
    WideString localPath;
    EXPECT_TRUE(Save(test::U16("http://h/" + name + ".html"), localPath));
    EXPECT_EQ(localPath.View(), dir_.Wide(name + "A.html"));
    EXPECT_EQ(test::ReadBytes(dir_.File(name + "A.html")), "downloaded");
  }
  EXPECT_EQ(test::ReadBytes(dir_.File("file.html")), "older copy");
  EXPECT_FALSE(FileExists(test::U16(elsewhere)));
}

TEST_F(LocalCopyTest, ARepeatedSuffixIsSkippedAsTaken) {
  // S(26) is "A" again; with "a", "aA".."aZ" taken the search goes on to "aBB".
  ASSERT_TRUE(test::WriteBytes(dir_.File("a"), ""));
  for (char ch = 'A'; ch <= 'Z'; ++ch) {
    ASSERT_TRUE(test::WriteBytes(dir_.File(std::string("a") + ch), ""));
  }
  WideString localPath;
  EXPECT_TRUE(Save(u"http://h/a", localPath));
  EXPECT_EQ(localPath.View(), dir_.Wide("aBB"));
}

// A copy that fails, from a missing download or into a missing folder, still names its path.
TEST_F(LocalCopyTest, AFailedCopyStillNamesTheChosenPath) {
  WideString localPath;
  EXPECT_FALSE(SaveAsLocalCopy(dir_.Wide("missing.tmp"), folder_, u"http://h/x.html", localPath));
  EXPECT_EQ(localPath.View(), dir_.Wide("x.html"));
  EXPECT_FALSE(FileExists(localPath.View()));
  EXPECT_FALSE(SaveAsLocalCopy(dir_.Wide("Kivo0000.tmp"), dir_.Wide("nofolder/"),
                               u"http://h/x.html", localPath));
  EXPECT_EQ(localPath.View(), dir_.Wide("nofolder/x.html"));
}

}  // namespace
}  // namespace kivo
