#include "changes/CopyComparison.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/TempDir.h"

namespace kivo::test {
namespace {

TEST(CopyComparison, ComparesTheVisibleTextOfTwoCopies) {
  TempDir dir;
  WriteBytes(dir.File("a.html"), "<p>Tokyo: <b>rain</b></p><p>Osaka: sun</p>");
  WriteBytes(dir.File("b.html"), "<p class=x>Tokyo: <i>snow</i></p><p>Osaka: sun</p>");
  WriteBytes(dir.File("b2.html"), "<p>Tokyo: snow</p><!-- x --><p>Osaka: sun</p>");
  WriteBytes(dir.File("photo.jpg"), "<p>not a page</p>");
  WriteBytes(dir.File("gif"), "GIF89a\x01\x00\x01\x00");
  WriteBytes(dir.File("huge.html"), "");
  std::filesystem::resize_file(dir.File("huge.html"), kMaxComparedBytes + 1);
  struct Case {
    const char* Older;
    const char* Newer;
    CopyRead OlderRead;
    CopyRead NewerRead;
    TextDiffStatus Status;
  };
  using enum CopyRead;
  const Case cases[] = {
      {"a.html", "b.html", Read, Read, TextDiffStatus::Compared},
      {"b.html", "b2.html", Read, Read, TextDiffStatus::Identical},
      {"gone.html", "b.html", Missing, Read, TextDiffStatus::Identical},
      {"a.html", "photo.jpg", Read, NotText, TextDiffStatus::Identical},
      {"gif", "a.html", NotText, Read, TextDiffStatus::Identical},
      {"a.html", "huge.html", Read, TooLarge, TextDiffStatus::Identical},
      {"a.html", ".", Read, Unreadable, TextDiffStatus::Identical},
  };
  const platform::CodePage codePage("CP932");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Older) + " " + c.Newer);
    const CopyComparison comparison = CompareCopies(dir.Wide(c.Older), dir.Wide(c.Newer), codePage);
    EXPECT_EQ(comparison.Older, c.OlderRead);
    EXPECT_EQ(comparison.Newer, c.NewerRead);
    EXPECT_EQ(comparison.Diff.Status, c.Status);
  }
  const TextDiff diff = CompareCopies(dir.Wide("a.html"), dir.Wide("b.html"), codePage).Diff;
  ASSERT_EQ(diff.Hunks.size(), 1u);
  ASSERT_EQ(diff.Hunks[0].Lines.size(), 3u);
  EXPECT_EQ(diff.Hunks[0].Lines[0].Text, u"Tokyo: rain");
  EXPECT_EQ(diff.Hunks[0].Lines[1].Text, u"Tokyo: snow");
  // A comparison past its bounds gives up instead of working on.
  DiffLimits tight;
  tight.LineWork = 1;
  WriteBytes(dir.File("c.html"), "<p>1</p><p>2</p><p>3</p>");
  WriteBytes(dir.File("d.html"), "<p>4</p><p>5</p><p>6</p>");
  EXPECT_EQ(CompareCopies(dir.Wide("c.html"), dir.Wide("d.html"), codePage, tight).Diff.Status,
            TextDiffStatus::TooDifferent);
}

}  // namespace
}  // namespace kivo::test
