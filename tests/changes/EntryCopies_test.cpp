#include "changes/EntryCopies.h"

#include <gtest/gtest.h>

#include <string>

#include "common/ProgramHome.h"
#include "common/SampleHistory.h"

namespace kivo::test {
namespace {

// Each line as "outcome/copy number", "B" for a copy from before the
// history, newest first.
std::string Summary(const EntryCopies& copies) {
  std::string summary;
  for (const CopyLine& line : copies.Lines) {
    summary += line.BeforeHistory ? "B" : std::to_string(static_cast<int>(line.Check.Outcome));
    summary += "/" + std::to_string(line.CopyNumber) + " ";
  }
  return summary + (copies.EarlierUnknown ? "earlier unknown" : "all known");
}

TEST(EntryCopies, LinesComeNewestFirstWithTheCopiesNumbered) {
  ProgramHome home;
  const std::string folder = home.Program() + "/";
  WriteSampleHistory(folder);
  WriteBytes(folder + "lone.html", "12345");
  struct Case {
    const char* Name;
    std::string Url;
    std::string LocalFile;
    size_t Limit;
    std::string Lines;
  };
  // Outcomes: 0 stored, 1 Last-Modified, 2 304, 3 same content, 4 failed.
  const Case cases[] = {
      {"every copy and check", "http://h/news.html", "newsB.html", 100,
       "3/0 0/1 4/0 0/2 2/0 0/3 all known"},
      {"cut at the limit", "http://h/news.html", "newsB.html", 3, "3/0 0/1 4/0 earlier unknown"},
      {"first copy before the history", "http://h/old.html", "oldA.html", 100,
       "1/0 0/1 B/2 earlier unknown"},
      {"only the list knows the copy", "http://h/lone.html", "lone.html", 100,
       "B/1 earlier unknown"},
      {"never fetched", "http://h/new.html", "", 100, "all known"},
      // The URL's first copy is no step before a copy the history missed.
      {"a copy the history missed", "http://h/news.html", "lone.html", 100, "B/1 earlier unknown"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string localFile = c.LocalFile.empty() ? "" : folder + c.LocalFile;
    const EntryCopies copies = LoadEntryCopies(U16(c.Url), U16(localFile), c.Limit);
    EXPECT_EQ(Summary(copies), c.Lines);
    EXPECT_TRUE(copies.Problems.empty());
  }
  // A copy the history never recorded is measured on disk.
  EXPECT_EQ(
      LoadEntryCopies(u"http://h/lone.html", U16(folder + "lone.html")).Lines[0].Check.StoredSize,
      5u);
}

// Damage met while reading is told, never shown as a short history.
TEST(EntryCopies, DamageMetWhileReadingIsTold) {
  ProgramHome home;
  const std::string folder = home.Program() + "/";
  WriteSampleHistory(folder);
  std::string bytes = ReadBytes(folder + "KivoHistory.db");
  for (size_t page = 4096; page < bytes.size(); page += 4096) {
    bytes.replace(page, 100, std::string(100, '\xff'));
  }
  WriteBytes(folder + "KivoHistory.db", bytes);
  const EntryCopies copies = LoadEntryCopies(u"http://h/news.html", U16(folder + "newsB.html"));
  ASSERT_EQ(copies.Problems.size(), 1u);
  EXPECT_EQ(copies.Problems[0].Problem, HistoryProblem::Damaged);
}

TEST(EntryCopies, WithoutAHistoryTheListsCopyIsTheOnlyLine) {
  ProgramHome home;
  const EntryCopies copies = LoadEntryCopies(u"http://h/a.html", U16(home.File("gone.html")));
  EXPECT_EQ(Summary(copies), "B/1 earlier unknown");
  EXPECT_FALSE(copies.Lines[0].Check.StoredSize.has_value());
  EXPECT_TRUE(copies.Problems.empty());
}

}  // namespace
}  // namespace kivo::test
