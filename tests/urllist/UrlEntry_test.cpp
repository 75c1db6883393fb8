#include "urllist/UrlEntry.h"

#include <gtest/gtest.h>

#include <memory>

#include "urllist/UrlList.h"
#include "urllist/UrlListFile.h"

namespace kivo {
namespace {

// The list file's encoding compares every field at once.
TEST(UrlEntryTest, CloneCopiesEveryFieldAndTheServers) {
  UrlEntry entry;
  entry.ListIndex = 4;
  entry.Status = 2;
  entry.Name.Assign(u"n");
  entry.Url.Assign(u"http://h/p");
  entry.LinkLevel = 3;
  entry.LocalFile.Assign(u"/l");
  entry.HasLastTime = 1;
  entry.LastTime = SystemTime{2000, 1, 6, 1, 2, 3, 4, 5};
  entry.GetImages = 0;
  entry.OnlyListedServers = 0;
  entry.Servers.Add(std::make_unique<WideString>(u"http://s/"));
  entry.UseOwnFolder = 1;
  entry.OwnFolder.Assign(u"/o/");
  std::unique_ptr<UrlEntry> copy = entry.Clone();
  ASSERT_NE(copy, nullptr);
  entry.Servers[0]->Assign(u"changed");
  EXPECT_EQ(copy->ListIndex, 4);
  EXPECT_EQ(copy->Servers[0]->View(), u"http://s/");
  UrlList one;
  one.Add(std::move(copy));
  UrlList original;
  entry.Servers[0]->Assign(u"http://s/");
  original.Add(entry.Clone());
  EXPECT_EQ(UrlListFile::Encode(one), UrlListFile::Encode(original));
}

}  // namespace
}  // namespace kivo
