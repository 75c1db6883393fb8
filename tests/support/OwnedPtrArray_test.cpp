#include "support/OwnedPtrArray.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/WideString.h"

namespace kivo {
namespace {

TEST(OwnedPtrArrayTest, DeleteElementsFreesAndSkipsNull) {
  PtrArray<WideString> array;
  array.Add(std::make_unique<WideString>(u"a").release());
  array.Add(nullptr);
  array.Add(std::make_unique<WideString>(u"b").release());
  DeleteElements(array);  // LeakSanitizer reports anything left behind
  EXPECT_EQ(array.Count(), 0);
  EXPECT_EQ(array.Allocated(), 8);
}

TEST(OwnedPtrArrayTest, OwnsAndHandsBackElements) {
  OwnedPtrArray<WideString> owned;
  owned.Add(std::make_unique<WideString>(u"a"));
  owned.InsertAt(0, std::make_unique<WideString>(u"b"));
  owned.Add(std::make_unique<WideString>(u"c"));
  std::unique_ptr<WideString> taken = owned.TakeAt(1);
  EXPECT_TRUE(taken->Equals(u"a"));
  ASSERT_EQ(owned.Count(), 2);
  EXPECT_TRUE(owned[0]->Equals(u"b"));
  EXPECT_TRUE(owned[1]->Equals(u"c"));
  OwnedPtrArray<WideString> moved(std::move(owned));
  EXPECT_EQ(moved.Count(), 2);
  EXPECT_EQ(owned.Count(), 0);  // NOLINT(bugprone-use-after-move)
}

}  // namespace
}  // namespace kivo
