#include "html/TextDiff.h"

#include <gtest/gtest.h>

#include <string>

#include "common/TempDir.h"
#include "html/UnifiedDiff.h"

namespace kivo {
namespace {

using test::U16;

// The diff as a plain unified diff, with each line's changed words in [ ].
std::string Describe(const TextDiff& diff) {
  TextDiff marked = diff;
  for (DiffHunk& hunk : marked.Hunks) {
    for (DiffLine& line : hunk.Lines) {
      for (auto span = line.Changed.rbegin(); span != line.Changed.rend(); ++span) {
        line.Text.insert(span->Begin + span->Length, u"]");
        line.Text.insert(span->Begin, u"[");
      }
    }
  }
  return FormatUnifiedDiff(marked, "a", "b", DiffColour::Plain);
}

// Lines "line <from>" to "line <to>", the one numbered `at` replaced.
std::string Numbered(int from, int to, const std::string& replace = {}, int at = -1,
                     const std::string& word = "line") {
  std::string text;
  for (int i = from; i <= to; ++i) {
    text += (i == at ? replace : word + " " + std::to_string(i)) + "\n";
  }
  return text;
}

std::string Reversed(int count) {
  std::string text;
  for (int i = count; i > 0; --i) {
    text += "line " + std::to_string(i) + "\n";
  }
  return text;
}

constexpr int64_t kDefaultWork = DiffLimits{}.LineWork;

DiffLimits Work(int64_t lines, int64_t words = DiffLimits{}.WordWork, size_t size = 1 << 21) {
  DiffLimits limits;
  limits.LineWork = lines;
  limits.WordWork = words;
  limits.MaxLines = size;
  limits.MaxChangeUnits = size;
  return limits;
}

struct Case {
  const char* name;
  std::string before;
  std::string after;
  TextDiffStatus status;
  const char* expected;
  DiffLimits limits = {};
};

TEST(TextDiffTest, ComparesLinesThenWords) {
  const Case cases[] = {
      {"identical", "a\nb", "a\nb\n", TextDiffStatus::Identical, ""},
      {"one word, with context", Numbered(1, 9), Numbered(1, 9, "line five", 5),
       TextDiffStatus::Compared,
       "--- a\n+++ b\n@@ -2,7 +2,7 @@\n line 2\n line 3\n line 4\n-line [5]\n+line [five]\n"
       " line 6\n line 7\n line 8\n"},
      {"into an empty text", "", "x\ny", TextDiffStatus::Compared,
       "--- a\n+++ b\n@@ -0,0 +1,2 @@\n+x\n+y\n"},
      {"words move between lines", "a b\nc d", "a b c\nd e", TextDiffStatus::Compared,
       "--- a\n+++ b\n@@ -1,2 +1,2 @@\n-a b\n-c d\n+a b c\n+d[ e]\n"},
      {"kana and kanji one by one", "今日は晴れ。", "今日は雨。", TextDiffStatus::Compared,
       "--- a\n+++ b\n@@ -1,1 +1,1 @@\n-今日は[晴れ]。\n+今日は[雨]。\n"},
      {"changes far apart", Numbered(1, 12), Numbered(1, 12, "x", 1) + "y\n",
       TextDiffStatus::Compared,
       "--- a\n+++ b\n@@ -1,4 +1,4 @@\n-line 1\n+x\n line 2\n line 3\n line 4\n"
       "@@ -10,3 +10,4 @@\n line 10\n line 11\n line 12\n+y\n"},
      {"words too different", "a b c", "d e f", TextDiffStatus::LinesOnly,
       "--- a\n+++ b\n@@ -1,1 +1,1 @@\n-a b c\n+d e f\n", Work(kDefaultWork, 4)},
      {"change too long for its words", "a b c", "a b d", TextDiffStatus::LinesOnly,
       "--- a\n+++ b\n@@ -1,1 +1,1 @@\n-a b c\n+a b d\n", Work(kDefaultWork, kDefaultWork, 9)},
      {"too many lines", Numbered(1, 8), Numbered(1, 9), TextDiffStatus::TooDifferent, "",
       Work(kDefaultWork, kDefaultWork, 9)},
      {"every line changed", Numbered(1, 5000), Numbered(1, 5000, "", 0, "old"),
       TextDiffStatus::TooDifferent, ""},
      {"lines too different", Numbered(1, 50), Numbered(51, 100), TextDiffStatus::TooDifferent, "",
       Work(1000)},
      {"reordered beyond the budget", Numbered(1, 50), Numbered(26, 50) + Numbered(1, 25),
       TextDiffStatus::TooDifferent, "", Work(300)},
      {"beyond dtl's own limit", Numbered(1, 2500), Reversed(2500), TextDiffStatus::TooDifferent,
       "", Work(int64_t{1} << 40)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TextDiff diff = DiffTexts(U16(c.before), U16(c.after), c.limits);
    EXPECT_EQ(diff.Status, c.status);
    EXPECT_EQ(Describe(diff), c.expected);
  }
}

TEST(TextDiffTest, TerminalColoursMarkWordsAndNeverPassControls) {
  const TextDiff diff = DiffTexts(u"keep\nold word", u"keep\nnew word\x1b[2J");
  EXPECT_EQ(FormatUnifiedDiff(diff, "a\x1b", "b", DiffColour::Terminal),
            "\x1b[1m--- a?\x1b[0m\n\x1b[1m+++ b\x1b[0m\n\x1b[36m@@ -1,2 +1,2 @@\x1b[0m\n keep\n"
            "\x1b[31m-\x1b[7mold\x1b[27m word\x1b[0m\n"
            "\x1b[32m+\x1b[7mnew\x1b[27m word\x1b[7m\uFFFD[2J\x1b[27m\x1b[0m\n");
}

}  // namespace
}  // namespace kivo
