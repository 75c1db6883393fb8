#include "cli/CliArguments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "cli/ConsoleView.h"

namespace kivo {
namespace {

struct LevelCase {
  const char* Text;
  std::optional<int32_t> Level;
};

TEST(CliArguments, LinkLevelsFollowTheEntryEditor) {
  const LevelCase cases[] = {
      {"0", 0},    {"42", 42},  {"99", 99},
      {"100", 99}, {"150", 99}, {"-3", 0},
      {"+7", 7},   {"0007", 7}, {"99999999999999999999999", 99},
      {"", {}},    {"abc", {}}, {"4x", {}},
      {"-", {}},   {" 4", {}},  {"4.5", {}},
  };
  for (const LevelCase& c : cases) {
    EXPECT_EQ(ParseLinkLevel(c.Text), c.Level) << "'" << c.Text << "'";
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
  };
  for (const BadCase& c : cases) {
    ParseOutcome outcome = ParseArguments(c.Args);
    EXPECT_FALSE(outcome.Command.has_value());
    EXPECT_EQ(outcome.Error, c.Message);
    EXPECT_EQ(outcome.Error.find('\n'), std::string::npos);
  }
}

TEST(CliArguments, AddTakesEveryOption) {
  ParseOutcome outcome = ParseArguments({"add", "--title", "ニュース", "http://h/a.html", "--level",
                                         "150", "--no-images", "--any-server", "--server",
                                         "http://g/", "--server", "http://k/", "--folder", "web"});
  ASSERT_TRUE(outcome.Command.has_value()) << outcome.Error;
  const AddOptions& add = outcome.Command->Add;
  EXPECT_EQ(outcome.Command->Kind, CommandKind::Add);
  EXPECT_EQ(add.Url, u"http://h/a.html");
  EXPECT_EQ(add.Title, u"ニュース");
  EXPECT_EQ(add.LinkLevel, 99);
  EXPECT_FALSE(add.GetImages);
  EXPECT_FALSE(add.OnlyListedServers);
  EXPECT_EQ(add.Servers, (std::vector<std::u16string>{u"http://g/", u"http://k/"}));
  EXPECT_EQ(add.Folder, u"web");
}

TEST(CliArguments, AddKeepsTheEditorDefaults) {
  ParseOutcome outcome = ParseArguments({"add", "http://h/"});
  ASSERT_TRUE(outcome.Command.has_value());
  const AddOptions& add = outcome.Command->Add;
  EXPECT_EQ(add.LinkLevel, 0);
  EXPECT_TRUE(add.GetImages);
  EXPECT_TRUE(add.OnlyListedServers);
  EXPECT_TRUE(add.Servers.empty());
  EXPECT_FALSE(add.Folder.has_value());
  EXPECT_TRUE(add.Title.empty());
}

TEST(CliArguments, RowsAreKeptAsTyped) {
  ParseOutcome outcome = ParseArguments({"patrol", "3", "1", "3", "99999999999999999999"});
  ASSERT_TRUE(outcome.Command.has_value());
  EXPECT_EQ(outcome.Command->Rows,
            (std::vector<int64_t>{3, 1, 3, std::numeric_limits<int64_t>::max()}));
  EXPECT_TRUE(ParseArguments({"patrol"}).Command->Rows.empty());
  EXPECT_FALSE(ParseArguments({"patrol"}).Command->Dial);
  // --dial may stand anywhere among the rows.
  ParseOutcome dial = ParseArguments({"patrol", "2", "--dial", "5"});
  ASSERT_TRUE(dial.Command.has_value());
  EXPECT_TRUE(dial.Command->Dial);
  EXPECT_EQ(dial.Command->Rows, (std::vector<int64_t>{2, 5}));
}

TEST(CliArguments, HelpVersionGetAndSet) {
  EXPECT_EQ(ParseArguments({"--help"}).Command->Kind, CommandKind::Help);
  EXPECT_EQ(ParseArguments({"-h"}).Command->Kind, CommandKind::Help);
  EXPECT_EQ(ParseArguments({"--version"}).Command->Kind, CommandKind::Version);
  ParseOutcome get = ParseArguments({"get"});
  EXPECT_EQ(get.Command->Kind, CommandKind::Get);
  EXPECT_FALSE(get.Command->Name.has_value());
  ParseOutcome set = ParseArguments({"set", "ConnectTimeout", "5"});
  EXPECT_EQ(set.Command->Name, u"ConnectTimeout");
  EXPECT_EQ(set.Command->Value, u"5");
}

struct WidthCase {
  std::u16string Text;
  int32_t Columns;
  std::u16string Fitted;
};

TEST(ConsoleView, FitsTextToTheTerminalWidth) {
  const WidthCase cases[] = {
      {u"abcdef", 4, u"abcd"},
      {u"abc", 10, u"abc"},
      {u"ﾀﾞｳﾝﾛｰﾄﾞ中", 8, u"ﾀﾞｳﾝﾛｰﾄﾞ"},  // half-width: one column each
      {u"ﾀﾞｳﾝﾛｰﾄﾞ中", 10, u"ﾀﾞｳﾝﾛｰﾄﾞ中"},
      {u"巡回巡回", 5, u"巡回"},  // wide: two columns each
      {u"a\U0001F600b", 2, u"a"},
  };
  for (const WidthCase& c : cases) {
    EXPECT_EQ(FitToWidth(c.Text, c.Columns), c.Fitted);
    EXPECT_LE(DisplayWidth(FitToWidth(c.Text, c.Columns)), c.Columns);
  }
}

std::string Captured(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  char buffer[512];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    text.append(buffer, n);
  }
  return text;
}

TEST(ConsoleView, PlainLinesShowTitleUrlStateAndBytes) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  {
    ConsoleView view(file, ConsoleStyle::PlainLines, 80);
    view.SetTitle(u"ニュース");
    view.SetUrl(u"http://h/a.html");
    view.SetState(u"ﾀﾞｳﾝﾛｰﾄﾞ中...");
    view.SetByteText(u"");
    view.SetPercent(0);
    view.SetByteText(u"0/2048");
    view.SetByteText(u"1024/2048");
    view.SetByteText(u"2048/2048");
    view.SetState(u"解析中...");
    view.SetUrl(
        u"http://h/i\x1b[2J\x9b"
        u"31m\xdc9b.gif");
    view.SetState(u"ﾀﾞｳﾝﾛｰﾄﾞ中...");
    view.SetByteText(u"");
    view.SetByteText(u"10");
    view.SetUrl(u"http://h/j.gif");
    view.SetState(u"ﾀﾞｳﾝﾛｰﾄﾞ中...");  // a second download in a row shows too
    view.Finished();
  }
  EXPECT_EQ(Captured(file),
            "ﾀｲﾄﾙ: ニュース\n"
            "URL: http://h/a.html\n"
            "状態: ﾀﾞｳﾝﾛｰﾄﾞ中...\n"
            "  2048/2048\n"
            "状態: 解析中...\n"
            "URL: http://h/i?[2J?31m\uFFFD.gif\n"
            "状態: ﾀﾞｳﾝﾛｰﾄﾞ中...\n"
            "  10\n"
            "URL: http://h/j.gif\n"
            "状態: ﾀﾞｳﾝﾛｰﾄﾞ中...\n");
  std::fclose(file);
}

TEST(ConsoleView, LiveLineRedrawsOneLineWithABar) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  {
    ConsoleView view(file, ConsoleStyle::LiveLine, 60);
    view.SetTitle(u"T");
    view.SetUrl(u"http://h/");
    view.SetState(u"ﾀﾞｳﾝﾛｰﾄﾞ中...");
    view.SetPercent(50);
    view.SetByteText(u"5/10");
    view.Finished();
  }
  const std::string text = Captured(file);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
  const std::string last = text.substr(text.rfind('\r'));
  EXPECT_EQ(last, "\r\033[K[##########----------]  50% 5/10 ﾀﾞｳﾝﾛｰﾄﾞ中... T http://h/\n");
  std::fclose(file);
}

}  // namespace
}  // namespace kivo
