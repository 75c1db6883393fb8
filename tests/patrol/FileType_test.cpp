#include "patrol/FileType.h"

#include <gtest/gtest.h>

#include <string>

#include "common/TempDir.h"

namespace kivo {
namespace {

TEST(FileTypeTest, ListedExtensionsDecideWithoutOpeningTheFile) {
  struct Case {
    std::u16string path;
    bool binary;
  };
  const Case cases[] = {
      {u"/no/such/photo.jpeg", true},
      {u"/no/such/a.GIF", true},
      {u"/no/such/a.Jpg", true},
      {u"/no/such/a.avi", true},
      {u"/no/such/a.mpg", true},
      {u"/no/such/a.MPEG", true},
      {u"/no/such/a.zip", true},
      {u"/no/such/a.lzh", true},
      {u"/no/such/page.htm", false},
      {u"/no/such/page.HTML", false},
      {u"/no/such/a.png", false},
      {u"/no/such/noext", false},
      // The extension is the text after the last '.' of the whole path: "gif/noext" here.
      {u"/no/such.gif/noext", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(test::Utf8(c.path));
    EXPECT_EQ(IsBinaryFile(c.path), c.binary);
  }
}

TEST(FileTypeTest, ExtensionsWinOverContents) {
  test::TempDir dir;
  ASSERT_TRUE(test::WriteBytes(dir.File("fake.htm"), "GIF89a"));
  ASSERT_TRUE(test::WriteBytes(dir.File("fake.gif"), "<html>"));
  EXPECT_FALSE(IsBinaryFile(dir.Wide("fake.htm")));
  EXPECT_TRUE(IsBinaryFile(dir.Wide("fake.gif")));
}

TEST(FileTypeTest, OtherFilesAreToldByTheirFirstBytes) {
  struct Case {
    std::string bytes;
    bool binary;
  };
  const Case cases[] = {
      {"GIF89a\x01\x00", true},
      {std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11), true},
      {"xx-lh5-", true},
      {"PK\x03\x04", true},
      {"<html><body>", false},
      {"\x89PNG\r\n\x1a\n", false},
      {"GI", false},
      {"", false},
      {std::string("\0\0\0\0\0\0JFI", 9), false},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    ASSERT_TRUE(test::WriteBytes(dir.File("Kivo0000.tmp"), c.bytes));
    EXPECT_EQ(IsBinaryFile(dir.Wide("Kivo0000.tmp")), c.binary);
  }
  EXPECT_FALSE(IsBinaryFile(dir.Wide("missing.tmp")));
}

}  // namespace
}  // namespace kivo
