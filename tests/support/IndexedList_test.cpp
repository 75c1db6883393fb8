#include "support/IndexedList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kivo {
namespace {

struct Record {
  WideString Url;
  int Number = 0;
};
struct RecordUrl {
  std::u16string_view operator()(const Record& record) const { return record.Url.View(); }
};

std::u16string Url(int i) {
  const std::string text = "http://h/" + std::to_string(i);
  return std::u16string(text.begin(), text.end());
}

std::unique_ptr<Record> MakeRecord(std::u16string_view url, int number) {
  return std::make_unique<Record>(Record{WideString(url), number});
}

TEST(IndexedListTest, FindGivesTheFirstOfEqualKeysThroughEveryRehash) {
  // 5,000 records over 2,500 keys: the index is rebuilt several times, and
  // must keep pointing at the earlier record of each key.
  IndexedList<Record, RecordUrl> list;
  for (int i = 0; i < 5000; ++i) {
    ASSERT_NE(list.Add(MakeRecord(Url(i % 2500), i)), nullptr);
  }
  ASSERT_EQ(list.Count(), 5000);
  for (int i = 0; i < 2500; ++i) {
    SCOPED_TRACE(i);
    ASSERT_NE(list.Find(Url(i)), nullptr);
    EXPECT_EQ(list.Find(Url(i))->Number, i);
    EXPECT_EQ(list[i + 2500]->Number, i + 2500);
  }
}

TEST(IndexedListTest, KeysCompareExactly) {
  IndexedList<WideString> list;
  EXPECT_FALSE(list.Contains(u""));
  list.Add(u"http://h/Page.html");
  for (const std::u16string_view other :
       {u"http://h/page.html", u"http://h/Page.html ", u"http://h/Page.htm", u""}) {
    EXPECT_FALSE(list.Contains(other)) << std::string(other.begin(), other.end());
  }
  EXPECT_TRUE(list.Contains(u"http://h/Page.html"));
  EXPECT_EQ(list.Add(std::unique_ptr<WideString>()), nullptr);
  EXPECT_EQ(list.Count(), 1);
}

TEST(IndexedListTest, AddUniqueKeepsTheFirstOccurrenceInOrder) {
  IndexedList<WideString> list;
  for (const char16_t* url : {u"c", u"a", u"c", u"b", u"a"}) {
    list.AddUnique(WideString(url));
  }
  EXPECT_EQ(list.AddUnique(WideString(u"b")), nullptr);
  const std::vector<std::unique_ptr<WideString>> taken = list.TakeAll();
  ASSERT_EQ(taken.size(), 3u);
  EXPECT_EQ(taken[0]->View(), u"c");
  EXPECT_EQ(taken[1]->View(), u"a");
  EXPECT_EQ(taken[2]->View(), u"b");
  // Taking everything also empties the index, so the keys are free again.
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(list.Contains(u"a"));
  EXPECT_NE(list.AddUnique(WideString(u"a")), nullptr);
  list.Clear();
  EXPECT_FALSE(list.Contains(u"a"));
}

}  // namespace
}  // namespace kivo
