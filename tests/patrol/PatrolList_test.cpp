#include "patrol/PatrolList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/TempDir.h"

namespace kivo {
namespace {

std::unique_ptr<UrlEntry> Entry(const std::string& url) {
  auto entry = std::make_unique<UrlEntry>();
  entry->Url.Assign(test::U16(url));
  return entry;
}

// Makes "t0", "t1", ... by appending. A string literal plus a temporary
// string makes GCC 12 warn falsely about overlapping copies (-Wrestrict) at -O2.
std::string Numbered(const char* prefix, int number) {
  std::string text = prefix;
  text += std::to_string(number);
  return text;
}

std::vector<std::u16string> Urls(const PatrolList& list) {
  std::vector<std::u16string> urls;
  for (int32_t i = 0; i < list.Count(); ++i) {
    urls.emplace_back(list[i]->Url.View());
  }
  return urls;
}

// The worker's pattern: walk forward, inserting each page's new entries right
// after the current one. The gap buffer must give exactly the order that
// inserting into a plain array gives.
TEST(PatrolList, DepthFirstInsertionMatchesAPlainArray) {
  std::vector<std::unique_ptr<UrlEntry>> users;
  PatrolList list;
  std::vector<std::u16string> expected;
  for (int i = 0; i < 5; ++i) {
    users.push_back(Entry("user" + std::to_string(i)));
    list.Add(users.back().get());
    expected.push_back(users.back()->Url.Text());
  }
  int serial = 0;
  for (int32_t i = 0; i < list.Count() && list.Count() < 500; ++i) {
    // Every third entry gets three children; the others none.
    const int children = (i % 3 == 0) ? 3 : 0;
    for (int n = 0; n < children; ++n) {
      const std::string url = Numbered("t", serial++);
      list.InsertTemporary(i + n + 1, Entry(url));
      expected.insert(expected.begin() + i + n + 1, test::U16(url));
    }
    ASSERT_EQ(Urls(list), expected) << "after position " << i;
  }
  EXPECT_GT(list.TemporaryCount(), 100);
  EXPECT_FALSE(list.IsTemporary(users[0].get()));
  EXPECT_TRUE(list.IsTemporary(list[1]));
  list.RemoveTemporaries();
  ASSERT_EQ(list.Count(), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(list[i], users[i].get());
  }
}

// The temporaries are left for the list to free: LeakSanitizer fails the test otherwise.
TEST(PatrolList, InsertsAnywhereIncludingBeforeTheGap) {
  PatrolList list;
  std::vector<std::u16string> expected;
  // Positions chosen to move the gap back and forth.
  const int positions[] = {0, 1, 0, 3, 2, 5, 1, 6, 0, 4};
  int serial = 0;
  for (int position : positions) {
    const std::string url = Numbered("e", serial++);
    list.InsertTemporary(position, Entry(url));
    expected.insert(expected.begin() + position, test::U16(url));
    ASSERT_EQ(Urls(list), expected);
  }
}

TEST(PatrolList, CountsUrlsOfAllElements) {
  auto a = Entry("http://h/a");
  auto twin = Entry("http://h/a");
  PatrolList list;
  list.Add(a.get());
  list.Add(twin.get());
  list.InsertTemporary(1, Entry("http://h/t"));
  EXPECT_TRUE(list.ContainsUrl(u"http://h/a"));
  EXPECT_TRUE(list.ContainsUrl(u"http://h/t"));
  EXPECT_FALSE(list.ContainsUrl(u"http://h/A"));  // case-sensitive
  EXPECT_FALSE(list.ContainsUrl(u"http://h/"));
  list.RemoveTemporaries();
  EXPECT_FALSE(list.ContainsUrl(u"http://h/t"));
  EXPECT_TRUE(list.ContainsUrl(u"http://h/a"));
}

// A user entry whose ListIndex is negative (a caller that forgot to number
// the rows) must never be mistaken for a temporary entry and freed.
TEST(PatrolList, OwnershipDoesNotDependOnListIndex) {
  auto user = Entry("u");
  user->ListIndex = -1;
  PatrolList list;
  list.Add(user.get());
  auto temporary = Entry("t");
  temporary->ListIndex = 7;
  list.InsertTemporary(1, std::move(temporary));
  list.RemoveTemporaries();
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0], user.get());
}

}  // namespace
}  // namespace kivo
