#include "cli/SettingCommands.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/ProgramHome.h"

namespace kivo {
namespace {

class SettingCommands : public testing::Test {
 protected:
  test::ProgramHome home_;
};

// One row per kind of setting: the clamps are the core's (EditRules_test).
// A value that is refused leaves the setting as it was.
TEST_F(SettingCommands, SetFollowsTheOptionPagesRules) {
  struct Case {
    std::string Name;
    std::string Value;
    int Status;
    std::string Stored;  // what "get" prints then
  };
  const Case cases[] = {
      {"ConnectTimeout", "5", 0, "10"},
      {"ConnectTimeout", "soon", 2, "10"},
      {"UseProxy", "7", 0, "1"},
      {"SaveFolder", home_.Dir().Path(), 0, home_.Dir().Path() + "/"},
      {"DialupEntry", std::string(21, 'x'), 2, ""},
      {"DialupEntry", std::string(20, 'x'), 0, std::string(20, 'x')},
      {"NoSuchSetting", "1", 2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name + " " + c.Value);
    const std::string message = test::Written([&](std::FILE* err) {
      EXPECT_EQ(SetSetting(test::U16(c.Name), test::U16(c.Value), err), c.Status);
    });
    EXPECT_EQ(message.empty(), c.Status == 0) << message;
    const std::string got =
        test::Written([&](std::FILE* out) { GetSettings(test::U16(c.Name), out); });
    EXPECT_EQ(got, c.Name == "NoSuchSetting" ? "" : c.Stored + "\n");
  }
}

}  // namespace
}  // namespace kivo
