#include "urllist/EditRules.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "common/ProgramHome.h"

namespace kivo {
namespace {

// Stored values that a hand-edited settings file may hold, beyond what the
// options page writes.
TEST(EditRules, TimeoutsAreClampedBeforeAnyoneMultipliesThem) {
  struct Case {
    uint32_t Stored;
    uint32_t Used;
  };
  const Case cases[] = {{0, 10},    {5, 10},    {10, 10},           {45, 45},
                        {600, 600}, {601, 600}, {0xFFFFFFFFu, 600}, {4294968u, 600}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Stored);
    EXPECT_EQ(ClampTimeoutSeconds(c.Stored), c.Used);
  }
}

// The number fields' text is read once, here, for both editors.
TEST(EditRules, TypedNumbersReadAsUnsignedDecimals) {
  struct Case {
    std::u16string Text;
    int32_t Level;
    uint32_t Timeout;
    uint32_t Connections;
  };
  const Case cases[] = {
      {u"42", 42, 42, 16},   {u" 45 ", 45, 45, 16},
      {u"150", 99, 150, 16}, {u"99999999999", 99, 600, 16},
      {u"", 0, 10, 1},       {u"-3", 0, 10, 1},
      {u"4x", 0, 10, 1},     {u"601", 99, 600, 16},
      {u"3", 3, 10, 3},      {u"0", 0, 10, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Text.begin(), c.Text.end()));
    EXPECT_EQ(LinkLevelFromText(c.Text), c.Level);
    EXPECT_EQ(TimeoutFromText(c.Text), c.Timeout);
    EXPECT_EQ(ConnectionsFromText(c.Text), c.Connections);
  }
}

// A folder from a hand-made list file keeps every character and gains its
// final "/"; a typed one is also taken from the working directory, and one
// too long for the folder fields is refused.
TEST(EditRules, FoldersAlwaysEndWithASlash) {
  test::ProgramHome home;
  const std::u16string prog = test::U16(home.Program() + "/");
  const std::u16string cwd = test::U16(std::filesystem::current_path().string());
  const std::u16string longest = u"/" + std::u16string(kMaxFolderChars - 1, u'a');
  struct Case {
    std::u16string Typed;
    std::u16string Stored;
    std::optional<std::u16string> TypedStored;
  };
  const Case cases[] = {
      {u"", prog, prog},
      {u"/srv/web", u"/srv/web/", u"/srv/web/"},
      {u"/srv/web/", u"/srv/web/", u"/srv/web/"},
      {u"web", u"web/", cwd + u"/web/"},
      {longest, longest + u"/", longest + u"/"},
      {longest + u"a", longest + u"a/", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(test::Utf8(c.Typed.substr(0, 20)));
    EXPECT_EQ(NormaliseFolder(c.Typed).View(), c.Stored);
    const std::optional<WideString> typed = NormaliseTypedFolder(c.Typed);
    EXPECT_EQ(typed.has_value(), c.TypedStored.has_value());
    if (typed && c.TypedStored) {
      EXPECT_EQ(typed->View(), *c.TypedStored);
    }
  }
}

}  // namespace
}  // namespace kivo
