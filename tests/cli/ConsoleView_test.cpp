#include "cli/ConsoleView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
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

// A log gets one line per download, with its last byte text, written when
// the download is over; a title only when it changes; of the states only the
// rewrite pass, at once; errors after the download they end.
TEST(ConsoleView, PlainLinesWriteOneLinePerDownload) {
  struct Case {
    const char* Name;
    std::function<void(ConsoleView&)> Calls;
    std::string Expected;
    std::string Unwritten;  // the tail of Expected that waits for Finished
  };
  const Case cases[] = {
      {"downloads",
       [](ConsoleView& view) {
         view.SetTitle(u"ニュース");
         view.SetUrl(u"http://h/a.html");
         view.SetState(PatrolState::Downloading);
         view.SetBytes(std::nullopt);
         view.SetBytes(ByteCount{0, 2048});
         view.SetBytes(ByteCount{2048, 2048});
         view.SetState(PatrolState::Analysing);
         view.SetUrl(
             u"http://h/i\x1b[2J\x9b"
             u"31m\xdc9b.gif");
         view.SetBytes(ByteCount{10, std::nullopt});
         view.SetUrl(u"http://h/j.gif");  // nothing arrives
       },
       "ﾀｲﾄﾙ: ニュース\nURL: http://h/a.html 2048/2048\n"
       "URL: http://h/i?[2J?31m\uFFFD.gif 10\nURL: http://h/j.gif\n",
       "URL: http://h/j.gif\n"},
      {"titles and errors",
       [](ConsoleView& view) {
         view.SetTitle(u"A");
         view.SetUrl(u"http://h/a");
         view.SetBytes(ByteCount{1, 1});
         view.SetTitle(u"A");
         view.SetUrl(u"http://h/b");
         view.SetTitle(u"B\n");
         view.SetUrl(u"http://h/c");
         view.SetBytes(ByteCount{5, std::nullopt});
         view.ShowError(PatrolError{PatrolErrorKind::UnusableFolder, u"/d\x1b/", ENOENT});
         view.ShowError(PatrolError{PatrolErrorKind::OutOfSpace, u"/p/", 0});
         view.ShowError(PatrolError{PatrolErrorKind::NoHttpSession, u"", 0});
       },
       "ﾀｲﾄﾙ: A\nURL: http://h/a 1/1\nURL: http://h/b\nﾀｲﾄﾙ: B?\nURL: http://h/c 5\n"
       "Cannot store files in the folder /d?/: No such file or directory\n"
       "Not enough disk space to store files in /p/. The patrol was stopped.\n"
       "Internet open error.\n",
       ""},
      {"rewrite pass",
       [](ConsoleView& view) {
         view.SetUrl(u"http://h/a");
         view.SetBytes(ByteCount{3, std::nullopt});
         view.SetState(PatrolState::Rewriting);
       },
       "URL: http://h/a 3\n状態: 書換中...\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    long written = -1;
    const std::string text = test::Written([&](std::FILE* file) {
      ConsoleView view(file, ConsoleStyle::PlainLines, 60);
      c.Calls(view);
      written = std::ftell(file);
      view.Finished();
    });
    EXPECT_EQ(text, c.Expected);
    EXPECT_EQ(written, static_cast<long>(c.Expected.size() - c.Unwritten.size()));
  }
}

TEST(ConsoleView, LiveLineRedrawsOneLineWithABar) {
  const std::string text = test::Written([](std::FILE* file) {
    ConsoleView view(file, ConsoleStyle::LiveLine, 60);
    view.SetTitle(u"T");
    view.SetUrl(u"http://h/");
    view.SetState(PatrolState::Downloading);
    view.SetPercent(50);
    view.SetBytes(ByteCount{5, 10});
    view.Finished();
  });
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
  EXPECT_EQ(text.substr(text.rfind('\r')),
            "\r\033[K[##########----------]  50% 5/10 ﾀﾞｳﾝﾛｰﾄﾞ中... T http://h/\n");
}

}  // namespace
}  // namespace kivo
