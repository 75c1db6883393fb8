#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "common/ScopedEnv.h"
#include "common/TempDir.h"
#include "platform/AtomicFile.h"
#include "platform/InstanceLock.h"
#include "platform/PlaceholderImage.h"
#include "platform/SettingsStore.h"

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

TEST(PlaceholderImageTest, IsTheOnePixelTransparentGifOfTheResources) {
  const std::span<const unsigned char> bytes = PlaceholderImageBytes();
  const std::string image(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  EXPECT_EQ(image, test::ReadBytes(std::string(KIVO_TESTDATA) + "/../../resources/null.gif"));
  ASSERT_GE(image.size(), 26u);
  EXPECT_EQ(image.substr(0, 10), std::string("GIF89a\x01\0\x01\0", 10));
  // The graphic control extension marks colour 0 transparent.
  const size_t control = image.find("\x21\xF9\x04");
  ASSERT_NE(control, std::string::npos);
  EXPECT_EQ(image[control + 3] & 1, 1);
  EXPECT_EQ(image.back(), ';');
}

TEST(PlaceholderImageTest, IsInstalledOnlyWhenMissing) {
  test::TempDir dir;
  test::ScopedEnv home("KIVO_HOME", dir.Path());
  EXPECT_EQ(PlaceholderImagePath(), test::U16(dir.File("null.gif")));
  ASSERT_TRUE(InstallPlaceholderImage());
  const std::span<const unsigned char> bytes = PlaceholderImageBytes();
  EXPECT_EQ(test::ReadBytes(dir.File("null.gif")),
            std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  ASSERT_TRUE(test::WriteBytes(dir.File("null.gif"), "mine"));
  EXPECT_TRUE(InstallPlaceholderImage());
  EXPECT_EQ(test::ReadBytes(dir.File("null.gif")), "mine");
}

TEST(AtomicFileTest, ReplacesContentsAndKeepsPermissions) {
  test::TempDir dir;
  const std::string path = dir.File("f");
  ASSERT_TRUE(ReplaceFileAtomically(test::U16(path), "one"));
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(ReplaceFileAtomically(test::U16(path), "two"));
  EXPECT_EQ(test::ReadBytes(path), "two");
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_FALSE(ReplaceFileAtomically(test::U16(dir.File("missing/f")), "x"));

  ASSERT_TRUE(KeepBackupCopy(test::U16(path), test::U16(path + ".bak")));
  ASSERT_TRUE(ReplaceFileAtomically(test::U16(path), "three"));
  EXPECT_EQ(test::ReadBytes(path + ".bak"), "two");
}

TEST(SettingsStoreTest, FileFollowsXdgConfigHome) {
  test::TempDir dir;
  test::ScopedEnv home("HOME", dir.Path());
  {
    test::ScopedEnv config("XDG_CONFIG_HOME", dir.File("cfg/"));
    EXPECT_EQ(SettingsFilePath(), test::U16(dir.File("cfg/kivo/settings.reg")));
  }
  for (const char* ignored : {"", "relative/cfg"}) {
    test::ScopedEnv config("XDG_CONFIG_HOME", ignored);
    EXPECT_EQ(SettingsFilePath(), test::U16(dir.File(".config/kivo/settings.reg")));
  }
}

}  // namespace
}  // namespace kivo::platform
