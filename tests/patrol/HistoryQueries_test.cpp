#include "patrol/HistoryQueries.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/HistoryChecks.h"
#include "common/ProgramHome.h"
#include "patrol/PatrolHistory.h"

namespace kivo::test {
namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;

class HistoryFolder : public testing::Test {
 protected:
  std::u16string Path() const { return PatrolHistory::DefaultPath(); }

  ProgramHome home_;
};

// The records of four patrols of one entry with an image:
// 1 stores a.html and logo.gif, 2 finds the page unchanged, 3 stores aA.html
// and reuses the image on a 304, 4 fails.
class HistoryQueriesTest : public HistoryFolder {
 protected:
  void SetUp() override {
    HistoryCheck first = Check(1000, kPage, CheckOutcome::Stored, "/s/a.html");
    first.ETag = "W/\"v1\"";
    first.LastModified = SystemTime{2026, 1, 4, 1, 12, 30, 15, 0};
    first.BodyDigest = platform::ContentDigest::Of("v1");
    first.TextDigest = platform::ContentDigest::Of("text");
    HistoryCheck image =
        Check(1001, kImage, CheckOutcome::Stored, "/s/logo.gif", {}, CheckedKind::Image);
    image.StoredSize = 10;
    image.StoredModified = 111;
    HistoryCheck third = Check(3000, kPage, CheckOutcome::Stored, "/s/aA.html", "/s/a.html");
    third.BodyDigest = platform::ContentDigest::Of("v2");
    const std::vector<std::vector<HistoryCheck>> patrols = {
        {first, image},
        {Check(2000, kPage, CheckOutcome::UnchangedLastModified, {}, "/s/a.html")},
        {third, Check(3001, kImage, CheckOutcome::NotModified, "/s/logoA.gif", "/s/logo.gif",
                      CheckedKind::Image)},
        {Check(4000, kPage, CheckOutcome::Failed, {}, "/s/aA.html"),
         Check(4001, "http://h/q.html", CheckOutcome::Stored, "/s/q.html", {},
               CheckedKind::QueuedPage),
         Check(4002, "http://h/new.html", CheckOutcome::Failed)}};
    for (const std::vector<HistoryCheck>& checks : patrols) {
      writer_.BeginPatrol(checks.front().CheckedAt, PatrolTrigger::Scheduled);
      for (const HistoryCheck& check : checks) {
        writer_.Record(check);
      }
      writer_.FinishPatrol(checks.front().CheckedAt + 500);
    }
  }

  const std::string kPage = "http://h/a.html";
  const std::string kImage = "http://h/logo.gif";
  PatrolHistory writer_{HistoryAccess::Write, Path(), kNow};
};

TEST_F(HistoryQueriesTest, AnswerFromTheRecords) {
  HistoryQueries& queries = writer_.Queries();
  const std::optional<HistoryCheck> first = queries.CopyAt(u"/s/a.html");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->ETag, "W/\"v1\"");
  EXPECT_EQ(first->LastModified, (SystemTime{2026, 1, 4, 1, 12, 30, 15, 0}));
  EXPECT_EQ(first->TextDigest, platform::ContentDigest::Of("text"));
  EXPECT_EQ(queries.CopyAt(u"/s/aA.html")->BodyDigest, platform::ContentDigest::Of("v2"));
  EXPECT_FALSE(queries.CopyAt(u"/s/none.html"));

  const std::optional<HistoryCheck> image = queries.LatestCopyOf(U16(kImage), CheckedKind::Image);
  ASSERT_TRUE(image);
  EXPECT_EQ(Utf8(image->StoredPath), "/s/logoA.gif");
  EXPECT_EQ(queries.CopyAt(u"/s/logo.gif")->StoredSize, 10u);
  EXPECT_EQ(queries.CopyAt(u"/s/logo.gif")->StoredModified, 111);

  EXPECT_EQ(queries.CopyChain(u"/s/aA.html", 10).size(), 2u);
  EXPECT_EQ(queries.CopyChain(u"/s/aA.html", 1).size(), 1u);

  const std::vector<PatrolLog> logs = queries.RecentPatrols(2);
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_THAT(Outcomes(logs[0].Entries), ElementsAre(CheckOutcome::Failed, CheckOutcome::Failed));
  EXPECT_EQ(logs[0].Patrol.Counts, (PatrolCounts{0, 0, 0, 0, 2}));
  EXPECT_EQ(logs[1].Patrol.Counts, (PatrolCounts{1, 0, 0, 0, 0}));
  EXPECT_EQ(logs[1].Patrol.FinishedAt, 3500);
  EXPECT_EQ(logs[1].Patrol.Trigger, PatrolTrigger::Scheduled);
}

struct EntryCase {
  const char* Name;
  std::string Url;
  std::string LocalFile;
  std::vector<CheckOutcome> Outcomes;
};

class EntryHistoryTable : public HistoryQueriesTest,
                          public testing::WithParamInterface<EntryCase> {};

TEST_P(EntryHistoryTable, WalksTheCopiesBack) {
  const EntryCase& c = GetParam();
  EXPECT_THAT(Outcomes(writer_.Queries().EntryHistory(U16(c.Url), U16(c.LocalFile), 10)),
              ElementsAreArray(c.Outcomes));
}

using O = CheckOutcome;
INSTANTIATE_TEST_SUITE_P(
    Table, EntryHistoryTable,
    testing::Values(EntryCase{"NewestFirstWithUnchangedChecks",
                              "http://h/a.html",
                              "/s/aA.html",
                              {O::Failed, O::Stored, O::UnchangedLastModified, O::Stored}},
                    EntryCase{"AfterTheUrlWasEdited",
                              "http://h/moved.html",
                              "/s/aA.html",
                              {O::Failed, O::Stored, O::UnchangedLastModified, O::Stored}},
                    EntryCase{"NeverStored", "http://h/new.html", "", {O::Failed}},
                    EntryCase{
                        "CopyThatPredatesTheHistory", "http://h/old.html", "/s/old.html", {}}),
    [](const testing::TestParamInfo<EntryCase>& info) { return info.param.Name; });

// Values that only survive a careful round trip: a path with bytes that are
// not UTF-8, validators at and past their bounds, a loop in the chain.
TEST_F(HistoryFolder, KeepsWhatItCanAndStopsLoops) {
  PatrolHistory history(HistoryAccess::Write, Path(), kNow);
  history.BeginPatrol(1, PatrolTrigger::Gui);
  const std::vector<std::pair<std::string, std::string>> etags = {
      {"\"x\"", "\"x\""},
      {std::string(1024, 'e'), std::string(1024, 'e')},
      {std::string(1025, 'e'), ""},
      {"\"a\nb\"", ""},
      {"\"a\x7f\"", ""}};
  for (size_t i = 0; i < etags.size(); ++i) {
    HistoryCheck check = Check(2, "http://h/e", O::Stored, "/s/e" + std::to_string(i));
    check.ETag = etags[i].first;
    history.Record(check);
    EXPECT_EQ(history.Queries().CopyAt(check.StoredPath)->ETag, etags[i].second) << i;
  }
  const std::u16string odd = u"/s/\xDC81\xDCFF.html";
  history.Record(Check(3, "http://h/x", O::Stored, "/s/x", "/s/y"));
  HistoryCheck y = Check(4, "http://h/y", O::Stored, "/s/y", "/s/x");
  y.FollowsPath = odd;
  history.Record(y);
  history.Record(Check(5, "http://h/z", O::Stored, Utf8(odd), "/s/x"));
  EXPECT_EQ(history.Queries().CopyAt(odd)->Url, u"http://h/z");
  EXPECT_EQ(history.Queries().CopyChain(u"/s/x", 100).size(), 3u);
  EXPECT_EQ(history.Queries().EntryHistory(u"http://h/x", u"/s/x", 100).size(), 3u);
}

}  // namespace
}  // namespace kivo::test
