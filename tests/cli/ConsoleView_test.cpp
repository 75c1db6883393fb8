#include "cli/ConsoleView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

#include "common/TempDir.h"

namespace kivo {
namespace {

TEST(ConsoleView, FitsTextToTheTerminalWidth) {
  struct Case {
    std::u16string Text;
    int32_t Columns;
    std::u16string Fitted;
  };
  const Case cases[] = {
      {u"abcdef", 4, u"abcd"},
      {u"abc", 10, u"abc"},
      {u"ﾀﾞｳﾝﾛｰﾄﾞ中", 8, u"ﾀﾞｳﾝﾛｰﾄﾞ"},  // half-width: one column each
      {u"ﾀﾞｳﾝﾛｰﾄﾞ中", 10, u"ﾀﾞｳﾝﾛｰﾄﾞ中"},
      {u"巡回巡回", 5, u"巡回"},  // wide: two columns each
      {u"a\U0001F600b", 2, u"a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Columns);
    EXPECT_EQ(FitToWidth(c.Text, c.Columns), c.Fitted);
    EXPECT_LE(DisplayWidth(FitToWidth(c.Text, c.Columns)), c.Columns);
  }
}

// Shows what `calls` make a view of `style` print.
std::string Printed(ConsoleStyle style, const std::function<void(ConsoleView&)>& calls) {
  return test::Written([&](std::FILE* file) {
    ConsoleView view(file, style, 60);
    calls(view);
  });
}

TEST(ConsoleView, PlainLinesShowTitleUrlStateAndBytes) {
  const std::string text = Printed(ConsoleStyle::PlainLines, [](ConsoleView& view) {
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
  });
  EXPECT_EQ(text,
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
}

TEST(ConsoleView, LiveLineRedrawsOneLineWithABar) {
  const std::string text = Printed(ConsoleStyle::LiveLine, [](ConsoleView& view) {
    view.SetTitle(u"T");
    view.SetUrl(u"http://h/");
    view.SetState(u"ﾀﾞｳﾝﾛｰﾄﾞ中...");
    view.SetPercent(50);
    view.SetByteText(u"5/10");
    view.Finished();
  });
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
  EXPECT_EQ(text.substr(text.rfind('\r')),
            "\r\033[K[##########----------]  50% 5/10 ﾀﾞｳﾝﾛｰﾄﾞ中... T http://h/\n");
}

}  // namespace
}  // namespace kivo
