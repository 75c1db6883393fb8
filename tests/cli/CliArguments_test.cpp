#include "cli/CliArguments.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace kivo {
namespace {

struct LevelCase {
  const char* Text;
  std::optional<int32_t> Level;
};

// The digits and the range are the core's rules (EditRules_test); the sign
// and the refusal of other text are the command line's own.
TEST(CliArguments, LinkLevelsFollowTheEntryEditor) {
  const LevelCase cases[] = {
      {"42", 42}, {"150", 99}, {"-3", 0}, {"+7", 7},  {"99999999999999999999999", 99},
      {"", {}},   {"4x", {}},  {"-", {}}, {" 4", {}},
  };
  for (const LevelCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(ParseLinkLevel(c.Text), c.Level);
  }
}

struct BadCase {
  std::vector<std::string> Args;
  const char* Message;
};

TEST(CliArguments, BadInputGetsAOneLineMessage) {
  const BadCase cases[] = {
      {{}, "no command given (try --help)"},
      {{"frobnicate"}, "unknown command 'frobnicate' (try --help)"},
      {{"list", "extra"}, "list takes no arguments"},
      {{"add"}, "add needs a URL"},
      {{"add", "http://h/", "http://g/"}, "add takes exactly one URL; 'http://g/' is one too many"},
      {{"add", "http://h/", "--level"}, "option --level needs a value"},
      {{"add", "http://h/", "--level", "many"}, "the level 'many' is not a number"},
      {{"add", "http://h/", "--colour", "red"}, "unknown option '--colour' for add"},
      {{"add", std::string(1024, 'x')}, "the URL is longer than 1023 characters"},
      {{"remove"}, "remove needs at least one row number"},
      {{"reset", "1", "two"}, "'two' is not a row number"},
      {{"remove", "-1"}, "'-1' is not a row number"},
      {{"patrol", "1x"}, "'1x' is not a row number"},
      {{"get", "A", "B"}, "get takes at most one setting name"},
      {{"set", "UseProxy"}, "set takes a setting name and a value"},
      {{"history"}, "history needs at least one row number"},
      {{"history", "1", "2"}, "history takes exactly one row number"},
      {{"diff", "1", "--from"}, "option --from needs a copy number (1 is the newest copy)"},
      {{"diff", "1", "--to", "0"}, "option --to needs a copy number (1 is the newest copy)"},
      {{"log", "0"}, "'0' is not a number of patrols"},
      {{"log", "1", "2"}, "log takes at most one number"},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.Message);
    ParseOutcome outcome = ParseArguments(c.Args);
    EXPECT_FALSE(outcome.Command.has_value());
    EXPECT_EQ(outcome.Error, c.Message);
    EXPECT_EQ(outcome.Error.find('\n'), std::string::npos);
  }
}

// Parses args, which must be a good command line.
CliCommand Parsed(const std::vector<std::string>& args) {
  ParseOutcome outcome = ParseArguments(args);
  EXPECT_TRUE(outcome.Command.has_value()) << outcome.Error;
  return outcome.Command.value_or(CliCommand());
}

TEST(CliArguments, AddTakesEveryOptionAndKeepsTheEditorDefaults) {
  const AddOptions all =
      Parsed({"add", "--title", "ニュース", "http://h/a.html", "--level", "150", "--no-images",
              "--any-server", "--server", "http://g/", "--server", "http://k/", "--folder", "web"})
          .Add;
  EXPECT_EQ(all.Url, u"http://h/a.html");
  EXPECT_EQ(all.Title, u"ニュース");
  EXPECT_EQ(all.LinkLevel, 99);
  EXPECT_FALSE(all.GetImages);
  EXPECT_FALSE(all.OnlyListedServers);
  EXPECT_EQ(all.Servers, (std::vector<std::u16string>{u"http://g/", u"http://k/"}));
  EXPECT_EQ(all.Folder, u"web");
  const CliCommand bare = Parsed({"add", "http://h/"});
  EXPECT_EQ(bare.Kind, CommandKind::Add);
  EXPECT_EQ(bare.Add.LinkLevel, 0);
  EXPECT_TRUE(bare.Add.GetImages);
  EXPECT_TRUE(bare.Add.OnlyListedServers);
  EXPECT_TRUE(bare.Add.Servers.empty());
  EXPECT_FALSE(bare.Add.Folder.has_value());
  EXPECT_TRUE(bare.Add.Title.empty());
}

TEST(CliArguments, RowsAreKeptAsTypedWithSwitchesAnywhere) {
  const CliCommand rows = Parsed({"patrol", "3", "1", "3", "99999999999999999999"});
  EXPECT_EQ(rows.Rows, (std::vector<int64_t>{3, 1, 3, std::numeric_limits<int64_t>::max()}));
  EXPECT_FALSE(rows.Dial);
  EXPECT_FALSE(rows.Notify);
  EXPECT_TRUE(Parsed({"patrol"}).Rows.empty());
  const CliCommand dial = Parsed({"patrol", "--notify", "2", "--dial", "5"});
  EXPECT_TRUE(dial.Dial);
  EXPECT_TRUE(dial.Notify);
  EXPECT_EQ(dial.Rows, (std::vector<int64_t>{2, 5}));
}

TEST(CliArguments, HistoryDiffAndLogTakeTheirNumbers) {
  struct Case {
    std::vector<std::string> Args;
    CommandKind Kind;
    std::vector<int64_t> Rows;
    int64_t From, To, Count;
  };
  const Case cases[] = {
      {{"history", "4"}, CommandKind::History, {4}, 2, 1, kDefaultLogCount},
      {{"diff", "4"}, CommandKind::Diff, {4}, 2, 1, kDefaultLogCount},
      {{"diff", "--to", "2", "3", "--from", "5"}, CommandKind::Diff, {3}, 5, 2, kDefaultLogCount},
      {{"log"}, CommandKind::Log, {}, 2, 1, kDefaultLogCount},
      {{"log", "12"}, CommandKind::Log, {}, 2, 1, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Args.size());
    const CliCommand command = Parsed(c.Args);
    EXPECT_EQ(command.Kind, c.Kind);
    EXPECT_EQ(command.Rows, c.Rows);
    EXPECT_EQ(command.FromCopy, c.From);
    EXPECT_EQ(command.ToCopy, c.To);
    EXPECT_EQ(command.LogCount, c.Count);
  }
}

TEST(CliArguments, HelpVersionGetAndSet) {
  EXPECT_EQ(Parsed({"--help"}).Kind, CommandKind::Help);
  EXPECT_EQ(Parsed({"-h"}).Kind, CommandKind::Help);
  EXPECT_EQ(Parsed({"--version"}).Kind, CommandKind::Version);
  const CliCommand get = Parsed({"get"});
  EXPECT_EQ(get.Kind, CommandKind::Get);
  EXPECT_FALSE(get.Name.has_value());
  const CliCommand set = Parsed({"set", "ConnectTimeout", "5"});
  EXPECT_EQ(set.Kind, CommandKind::Set);
  EXPECT_EQ(set.Name, u"ConnectTimeout");
  EXPECT_EQ(set.Value, u"5");
}

}  // namespace
}  // namespace kivo
