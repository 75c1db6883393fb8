#include "platform/InstanceLock.h"

#include <gtest/gtest.h>

#include "common/ProgramHome.h"

namespace kivo::platform {
namespace {

TEST(InstanceLockTest, OnlyOneHolderAtATime) {
  test::ProgramHome home;
  auto first = InstanceLock::TryAcquire();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(InstanceLock::TryAcquire(), nullptr);
  first.reset();
  EXPECT_NE(InstanceLock::TryAcquire(), nullptr);
}

}  // namespace
}  // namespace kivo::platform
