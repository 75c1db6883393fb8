#include "platform/ProgramFolder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "common/TempDir.h"
#include "support/FileExists.h"

namespace kivo::platform {
namespace {

class ProgramFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* home = std::getenv("KIVO_HOME");
    saved_ = home ? std::optional<std::string>(home) : std::nullopt;
  }
  void TearDown() override {
    if (saved_) {
      ::setenv("KIVO_HOME", saved_->c_str(), 1);
    } else {
      ::unsetenv("KIVO_HOME");
    }
  }
  std::optional<std::string> saved_;
};

TEST_F(ProgramFolderTest, KivoHomeIsUsedAndCreatedWithATrailingSlash) {
  test::TempDir dir;
  struct Case {
    std::string home;
    std::string folder;
  };
  const Case cases[] = {
      {dir.File("a"), dir.File("a/")},
      {dir.File("b/"), dir.File("b/")},
      {dir.File("c/d//"), dir.File("c/d/")},
  };
  for (const Case& c : cases) {
    ::setenv("KIVO_HOME", c.home.c_str(), 1);
    EXPECT_EQ(ProgramFolder(), test::U16(c.folder));
    EXPECT_TRUE(FileExists(test::U16(c.folder)));
  }
  EXPECT_EQ(ProgramFile(u"Kivo.dat"), test::U16(dir.File("c/d/Kivo.dat")));
}

TEST_F(ProgramFolderTest, DefaultIsKivoInTheHomeFolder) {
  test::TempDir dir;
  const char* home = std::getenv("HOME");
  const std::string savedHome = home ? home : "";
  ::unsetenv("KIVO_HOME");
  ::setenv("HOME", dir.Path().c_str(), 1);
  EXPECT_EQ(ProgramFolder(), test::U16(dir.File("Kivo/")));
  ::setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace kivo::platform
