#include "html/FetchedFileList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kivo {
namespace {

std::unique_ptr<FetchedFile> Record(std::u16string_view url, std::u16string_view path) {
  auto file = std::make_unique<FetchedFile>();
  file->Url.Assign(url);
  file->LocalPath.Assign(path);
  return file;
}

TEST(FetchedFileListTest, FindReturnsTheFirstRecordInArrayOrder) {
  FetchedFileList list;
  list.Add(Record(u"http://h/a", u"/d/a1"));
  const FetchedFile* firstB = list.Add(Record(u"http://h/b", u"/d/b1"));
  list.Add(Record(u"http://h/b", u"/d/b2"));
  list.Add(Record(u"http://h/b", u"/d/b3"));
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Find(u"http://h/b"), firstB);
  EXPECT_TRUE(list.Find(u"http://h/b")->LocalPath.Equals(u"/d/b1"));
  EXPECT_TRUE(list[2]->LocalPath.Equals(u"/d/b2"));
}

TEST(FetchedFileListTest, FindComparesExactly) {
  FetchedFileList list;
  list.Add(Record(u"http://h/Page.html", u"/d/p"));
  EXPECT_EQ(list.Find(u"http://h/page.html"), nullptr);
  EXPECT_EQ(list.Find(u"http://h/Page.html "), nullptr);
  EXPECT_EQ(list.Find(u"http://h/Page.htm"), nullptr);
  EXPECT_NE(list.Find(u"http://h/Page.html"), nullptr);
  EXPECT_EQ(FetchedFileList().Find(u""), nullptr);
}

TEST(FetchedFileListTest, NullIsNotStored) {
  FetchedFileList list;
  EXPECT_EQ(list.Add(nullptr), nullptr);
  EXPECT_EQ(list.Count(), 0);
}

TEST(FetchedFileListTest, ClearForgetsRecordsAndIndex) {
  FetchedFileList list;
  list.Add(Record(u"http://h/a", u"/d/a1"));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Find(u"http://h/a"), nullptr);
  list.Add(Record(u"http://h/a", u"/d/a2"));
  EXPECT_TRUE(list.Find(u"http://h/a")->LocalPath.Equals(u"/d/a2"));
}

TEST(FetchedFileListTest, ManyRecordsKeepTheirIndex) {
  FetchedFileList list;
  for (int i = 0; i < 5000; ++i) {
    const std::string url = "http://h/" + std::to_string(i % 2500);
    const std::string path = "/d/" + std::to_string(i);
    list.Add(
        Record(std::u16string(url.begin(), url.end()), std::u16string(path.begin(), path.end())));
  }
  for (int i = 0; i < 2500; ++i) {
    const std::string url = "http://h/" + std::to_string(i);
    const FetchedFile* found = list.Find(std::u16string(url.begin(), url.end()));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found, list[i]);
  }
}

}  // namespace
}  // namespace kivo
