#include "urllist/EditRules.h"

#include <gtest/gtest.h>

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

// A folder from a hand-made list file or a long typed one keeps every
// character and gains its final "/"; an empty one is the program folder.
TEST(EditRules, FoldersAlwaysEndWithASlash) {
  test::ProgramHome home;
  const std::u16string longFolder = u"/" + std::u16string(300, u'a');
  EXPECT_EQ(NormaliseFolder(u"/srv/web/").View(), u"/srv/web/");
  EXPECT_EQ(NormaliseFolder(u"/srv/web").View(), u"/srv/web/");
  EXPECT_EQ(NormaliseFolder(longFolder).View(), longFolder + u"/");
  EXPECT_EQ(NormaliseFolder(u"").View(), test::U16(home.Program() + "/"));
}

}  // namespace
}  // namespace kivo
