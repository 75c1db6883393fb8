#include "platform/ProgramFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/ScopedEnv.h"
#include "common/TempDir.h"
#include "platform/FileExists.h"

namespace kivo::platform {
namespace {

TEST(ProgramFolderTest, KivoHomeIsUsedAndCreatedWithATrailingSlash) {
  test::TempDir dir;
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  const std::string cwd = std::filesystem::current_path().string();
  struct Case {
    std::string home;
    std::string folder;
  };
  const Case cases[] = {
      {dir.File("a"), dir.File("a/")},
      {dir.File("b/"), dir.File("b/")},
      {dir.File("c/d//"), dir.File("c/d/")},
      {"rel/e", cwd + "/rel/e/"},  // relative: taken from the working directory
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.home);
    test::ScopedEnv home("KIVO_HOME", c.home);
    EXPECT_EQ(ProgramFolder(), test::U16(c.folder));
    EXPECT_TRUE(FileExists(test::U16(c.folder)));
    EXPECT_EQ(ProgramFile(u"Kivo.dat"), test::U16(c.folder + "Kivo.dat"));
  }
  std::filesystem::current_path(before);
}

TEST(ProgramFolderTest, DefaultIsKivoInTheHomeFolder) {
  test::TempDir dir;
  test::ScopedEnv kivoHome("KIVO_HOME", "");
  test::ScopedEnv home("HOME", dir.Path());
  EXPECT_EQ(ProgramFolder(), test::U16(dir.File("Kivo/")));
}

}  // namespace
}  // namespace kivo::platform
