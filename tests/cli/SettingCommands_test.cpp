#include "cli/SettingCommands.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/ScopedEnv.h"
#include "common/TempDir.h"
#include "platform/Utf8.h"
#include "urllist/EditRules.h"

namespace kivo {
namespace {

TEST(SettingCommands, TypedFoldersBecomeAbsoluteWithAFinalSlash) {
  test::TempDir home;
  test::ScopedEnv programFolder("KIVO_HOME", home.File("prog"));
  const std::u16string cwd = platform::Utf16FromUtf8(std::filesystem::current_path().string());
  struct Case {
    std::u16string Typed;
    std::optional<std::u16string> Stored;
  };
  const Case cases[] = {
      {u"", test::U16(home.File("prog") + "/")},
      {u"/srv/web", u"/srv/web/"},
      {u"/srv/web/", u"/srv/web/"},
      {u"web", cwd + u"/web/"},
      {u"/" + std::u16string(kMaxFolderChars - 1, u'a'),
       u"/" + std::u16string(kMaxFolderChars - 1, u'a') + u"/"},
      {u"/" + std::u16string(kMaxFolderChars, u'a'), std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NormaliseTypedFolder(c.Typed), c.Stored) << platform::Utf8FromUtf16(c.Typed);
  }
}

}  // namespace
}  // namespace kivo
