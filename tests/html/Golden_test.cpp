// Golden pages: each folder under testdata/html holds a stored page, the URL
// it came from, the records of a patrol, and the expected three link lists
// and rewritten bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "common/PageFolders.h"
#include "html/RewriteLinks.h"

namespace kivo {
namespace {

using test::ReadBytes;
using test::ReplaceAll;
using test::U16;
using test::WriteBytes;

class GoldenPageTest : public ::testing::TestWithParam<const char*>, protected test::PageFolders {
 protected:
  void SetUp() override {
    const std::string folder = std::string(KIVO_TESTDATA) + "/html/" + GetParam() + "/";
    page_ = ReadBytes(folder + "page.html");
    std::string url = ReadBytes(folder + "url.txt");
    url.erase(url.find_last_not_of("\r\n") + 1);
    pageUrl_ = U16(url);
    expectedLinks_ = ReadBytes(folder + "links.txt");
    expectedPage_ = ReadBytes(folder + "rewritten.html");
    records_ = ReadBytes(folder + "records.txt");
    ASSERT_FALSE(page_.empty());
    ASSERT_FALSE(expectedLinks_.empty());
    ASSERT_FALSE(expectedPage_.empty());
    ASSERT_TRUE(WriteBytes(PagePath(), page_));
  }

  // Fills the record lists from lines "image|page <TAB> url <TAB> path".
  void LoadRecords(FetchedFileList& images, FetchedFileList& pages) const {
    std::istringstream lines(records_);
    std::string line;
    while (std::getline(lines, line)) {
      const size_t tab1 = line.find('\t');
      const size_t tab2 = line.find('\t', tab1 + 1);
      ASSERT_NE(tab2, std::string::npos) << line;
      auto file = std::make_unique<FetchedFile>();
      file->Url.Assign(U16(line.substr(tab1 + 1, tab2 - tab1 - 1)));
      file->LocalPath.Assign(U16(ReplaceAll(ReplaceAll(line.substr(tab2 + 1), "{DIR}", dir_.Path()),
                                            "{OTHER}", OtherFolder())));
      (line.starts_with("image") ? images : pages).Add(std::move(file));
    }
  }

  std::string page_;
  std::u16string pageUrl_;
  std::string expectedLinks_;
  std::string expectedPage_;
  std::string records_;
};

TEST_P(GoldenPageTest, ExtractsTheExpectedLists) {
  PageLinks links;
  ASSERT_TRUE(ExtractLinks(links, pageUrl_, U16(PagePath()), ansi_));
  EXPECT_EQ(test::DescribeLinks(links), expectedLinks_);
}

TEST_P(GoldenPageTest, RewritesToTheExpectedBytes) {
  FetchedFileList images;
  FetchedFileList pages;
  LoadRecords(images, pages);
  FetchedFile page;
  page.Url.Assign(pageUrl_);
  page.LocalPath.Assign(U16(PagePath()));
  RewriteLinks(U16(PagePath()), page, images, pages, setup_);
  const std::string expected = ReplaceAll(ReplaceAll(expectedPage_, "{PLACEHOLDER}", Placeholder()),
                                          "{OTHER}", OtherFolder());
  EXPECT_EQ(ReadBytes(PagePath()), expected);
}

// Names each case after its page, with the hyphens that test names cannot hold made underscores.
INSTANTIATE_TEST_SUITE_P(Pages, GoldenPageTest,
                         ::testing::Values("shift-jis-frames", "quirks", "modern"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace kivo
