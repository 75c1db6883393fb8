#include "patrol/FetchedUrlList.h"

#include <gtest/gtest.h>

#include <string>

#include "common/TempDir.h"

namespace kivo {
namespace {

TEST(FetchedUrlList, KeepsOrderAndAnswersMembershipExactly) {
  FetchedUrlList urls;
  urls.Add(u"http://h/b");
  urls.Add(u"http://h/a");
  urls.Add(u"http://h/b");
  ASSERT_EQ(urls.Count(), 3);
  EXPECT_EQ(urls[0].View(), u"http://h/b");
  EXPECT_EQ(urls[1].View(), u"http://h/a");
  EXPECT_TRUE(urls.Contains(u"http://h/a"));
  EXPECT_FALSE(urls.Contains(u"http://H/a"));
  EXPECT_FALSE(urls.Contains(u"http://h/"));
  urls.Clear();
  EXPECT_EQ(urls.Count(), 0);
  EXPECT_FALSE(urls.Contains(u"http://h/a"));
}

TEST(FetchedUrlList, ViewsSurviveGrowth) {
  FetchedUrlList urls;
  for (int i = 0; i < 2000; ++i) {
    urls.Add(test::U16("http://h/" + std::to_string(i)));
  }
  for (int i = 0; i < 2000; i += 97) {
    EXPECT_TRUE(urls.Contains(test::U16("http://h/" + std::to_string(i))));
  }
}

}  // namespace
}  // namespace kivo
