#include "platform/InstanceLock.h"

#include <gtest/gtest.h>

#include "common/ScopedEnv.h"
#include "common/TempDir.h"

namespace kivo::platform {
namespace {

TEST(InstanceLockTest, OnlyOneHolderAtATime) {
  test::TempDir dir;
  test::ScopedEnv home("KIVO_HOME", dir.Path());
  auto first = InstanceLock::TryAcquire();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(InstanceLock::TryAcquire(), nullptr);
  first.reset();
  EXPECT_NE(InstanceLock::TryAcquire(), nullptr);
}

}  // namespace
}  // namespace kivo::platform
