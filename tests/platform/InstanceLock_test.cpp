#include "platform/InstanceLock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "common/ProgramHome.h"
#include "platform/SettingsStore.h"

namespace kivo::platform {
namespace {

// A refused start learns who holds the lock, whoever that is.
TEST(InstanceLockTest, OneHolderAtATimeAndTheRefusalNamesIt) {
  test::ProgramHome home;
  for (LockHolder holder : {LockHolder::Kivo, LockHolder::KivoCli, LockHolder::Unknown}) {
    SCOPED_TRACE(static_cast<int>(holder));
    std::unique_ptr<InstanceLock> first = InstanceLock::TryAcquire(holder);
    ASSERT_NE(first, nullptr);
    const LockAttempt second = InstanceLock::Attempt(LockHolder::Kivo);
    EXPECT_EQ(second.Lock, nullptr);
    EXPECT_EQ(second.Failure, LockFailure::HeldElsewhere);
    EXPECT_EQ(second.Holder, holder);
  }
}

// A link planted at a lock file's name is never followed: nothing is created
// at its target, outside the program's folders.
TEST(InstanceLockTest, LinksAtLockFileNamesAreNotFollowed) {
  test::ProgramHome home;
  const std::string settings = home.File("config/kivo/settings.reg");
  std::filesystem::create_directories(home.Program());
  std::filesystem::create_directories(home.File("config/kivo"));
  ASSERT_EQ(::symlink(home.File("planted1").c_str(), (home.Program() + "/Kivo.lock").c_str()), 0);
  ASSERT_EQ(::symlink(home.File("planted2").c_str(), (settings + ".lock").c_str()), 0);

  const LockAttempt attempt = InstanceLock::Attempt(LockHolder::Kivo);
  EXPECT_EQ(attempt.Failure, LockFailure::LockFileUnusable);
  EXPECT_EQ(attempt.Error, ELOOP);
  // The settings are still written; only their writers' lock is missing.
  EXPECT_TRUE(SettingsStore(test::U16(settings)).Update([](RegistryDocument& document) {
    document.AddKey(u"Software");
    return true;
  }));
  EXPECT_FALSE(std::filesystem::exists(home.File("planted1")));
  EXPECT_FALSE(std::filesystem::exists(home.File("planted2")));
}

}  // namespace
}  // namespace kivo::platform
