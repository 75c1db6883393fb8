#include "html/PageBytes.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "common/TempDir.h"

namespace kivo {
namespace {

using test::TempDir;
using test::U16;
using test::WriteBytes;

TEST(PageBytesTest, ReadsEveryByte) {
  TempDir dir;
  std::string content(3 << 20, 'x');
  content[0] = '<';
  content.back() = '\0';
  ASSERT_TRUE(WriteBytes(dir.File("p"), content));
  const PageBytes page = ReadPageBytes(dir.Wide("p"));
  EXPECT_EQ(page.Status, PageReadStatus::Complete);
  EXPECT_EQ(page.Bytes, content);
}

TEST(PageBytesTest, MissingFilesAndFoldersCannotBeOpened) {
  TempDir dir;
  EXPECT_EQ(ReadPageBytes(dir.Wide("missing")).Status, PageReadStatus::CannotOpen);
  EXPECT_EQ(ReadPageBytes(U16(dir.Path())).Status, PageReadStatus::CannotOpen);
}

TEST(PageBytesTest, LimitIsInclusive) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir.File("p"), ""));
  ASSERT_EQ(::truncate(dir.File("p").c_str(), static_cast<off_t>(kMaxAnalysedPageBytes)), 0);
  EXPECT_EQ(ReadPageBytes(dir.Wide("p")).Status, PageReadStatus::Complete);
  ASSERT_EQ(::truncate(dir.File("p").c_str(), static_cast<off_t>(kMaxAnalysedPageBytes + 1)), 0);
  const PageBytes big = ReadPageBytes(dir.Wide("p"));
  EXPECT_EQ(big.Status, PageReadStatus::TooLarge);
  EXPECT_TRUE(big.Bytes.empty());
}

TEST(PageBytesTest, FileLongerThanItsSizeIsIncomplete) {
  // Such files report size 0 but deliver bytes; rewriting one from what its
  // size promised would cut it off.
  const PageBytes page = ReadPageBytes(u"/proc/self/status");
  EXPECT_EQ(page.Status, PageReadStatus::Incomplete);
  EXPECT_TRUE(page.Bytes.empty());
}

}  // namespace
}  // namespace kivo
