#include "support/PtrArray.h"

#include <gtest/gtest.h>

#include <vector>

namespace kivo {
namespace {

TEST(PtrArrayTest, GrowsByEightSlots) {
  struct Case {
    int adds;
    int32_t allocated;
  };
  const Case cases[] = {{0, 8}, {1, 8}, {8, 8}, {9, 16}, {16, 16}, {17, 24}, {100, 104}};
  int dummy = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.adds);
    PtrArray<int> array;
    for (int i = 0; i < c.adds; ++i) {
      array.Add(&dummy);
    }
    EXPECT_EQ(array.Count(), c.adds);
    EXPECT_EQ(array.Allocated(), c.allocated);
  }
}

std::vector<int> Values(const PtrArray<int>& array) {
  std::vector<int> out;
  for (int* p : array) {
    out.push_back(*p);
  }
  return out;
}

TEST(PtrArrayTest, InsertAndRemoveAtTheEnds) {
  int v[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  PtrArray<int> array;
  for (int i = 1; i <= 8; ++i) {
    array.Add(&v[i]);
  }
  array.InsertAt(0, &v[0]);  // grows while inserting at the front
  EXPECT_EQ(array.Allocated(), 16);
  array.InsertAt(array.Count(), &v[9]);  // like Add
  EXPECT_EQ(Values(array), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  array.RemoveAt(array.Count() - 1);
  array.RemoveAt(0);
  array.InsertAt(3, &v[0]);
  EXPECT_EQ(Values(array), (std::vector<int>{1, 2, 3, 0, 4, 5, 6, 7, 8}));
  array.RemoveAt(3);
  EXPECT_EQ(Values(array), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(array.Allocated(), 16);  // never shrinks
}

TEST(PtrArrayTest, ReserveGrowsInStepsOf8AndKeepsTheSlots) {
  PtrArray<int> array;
  int values[3] = {1, 2, 3};
  for (int& v : values) {
    array.Add(&v);
  }
  array.Reserve(4);  // already room: nothing changes
  EXPECT_EQ(array.Allocated(), 8);
  array.Reserve(17);
  EXPECT_EQ(array.Allocated(), 24);
  ASSERT_EQ(array.Count(), 3);
  EXPECT_EQ(*array[2], 3);
  for (int i = 0; i < 21; ++i) {
    array.Add(&values[0]);
  }
  EXPECT_EQ(array.Allocated(), 24);  // 24 elements fit without growing
  array.Add(&values[1]);
  EXPECT_EQ(array.Allocated(), 32);
}

}  // namespace
}  // namespace kivo
