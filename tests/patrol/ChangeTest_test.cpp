// What a second patrol makes of a page, by what the server sends and by the
// ChangeTest setting: the list entry, the save folder, the history and the
// requests the server saw. The page's image is asked conditionally whenever
// the page is stored again. And a history that cannot be used leaves the
// patrols as they would be without one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ostream>

#include "patrol/PatrolHarness.h"
#include "patrol/PatrolHistory.h"

namespace kivo::test {
namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;

constexpr const char* kTuesday = "Tue, 08 Dec 2026 10:00:00 GMT";
const std::pair<std::string, std::string> kModified{"Last-Modified", kMonday};
const std::pair<std::string, std::string> kTag{"ETag", "W/\"v1\""};

// The page at each patrol: the same, changed only in a hidden form token, or
// changed in its visible text.
enum class Second { Same, Markup, Text };

std::string PageBody(const std::string& news, const std::string& token) {
  return "<html><head><title>T</title></head><body><p>" + news +
         "</p><img src=i.gif><input type=hidden value=" + token + "></body></html>";
}

struct ChangeCase {
  const char* Name;
  ChangeTest Test;
  Headers First;          // the page's validators at the first patrol
  Headers Again;          // and at the second
  Conditions Validators;  // how the server treats them at the second
  Second Body;
  const char* IfModifiedSince;  // what the second request carried; nullptr: none
  const char* IfNoneMatch;
  CheckOutcome Outcome;  // what the second patrol recorded for the entry

  friend void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.Name; }
};

// Patrols one request at a time, so that the server sees the patrol's order.
class OneAtATime : public PatrolHarness {
 protected:
  void SetUp() override {
    PatrolHarness::SetUp();
    Store(Setting::Connections, 1);
  }
};

class ChangeTests : public OneAtATime, public testing::WithParamInterface<ChangeCase> {
 protected:
  void Serve(const std::string& body, const Headers& headers, Conditions validators) {
    ScriptedResponse page = ScriptedResponse::Ok(body);
    page.Headers = headers;
    page.Validators = validators;
    server_.Script("/p.html", page);
    ScriptedResponse image = ScriptedResponse::Ok("GIF89a-image");
    image.Headers = {{"ETag", "\"img\""}};
    image.Validators = Conditions::Honoured;
    server_.Script("/i.gif", image);
  }
};

ino_t Inode(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST_P(ChangeTests, ASecondPatrolStoresOnlyWhatChanged) {
  const ChangeCase& c = GetParam();
  Store(Setting::ChangeTest, static_cast<uint32_t>(c.Test));
  Serve(PageBody("News 1", "token1"), c.First, Conditions::Ignored);
  UrlEntry& entry = Add("/p.html");
  entry.GetImages = 1;
  ASSERT_EQ(Patrol(), kPatrolDone);
  ASSERT_THAT(Names(), testing::ElementsAre("i.gif", "p.html"));
  entry.Status = 2;  // viewed since
  const int32_t hadTime = entry.HasLastTime;
  const SystemTime time = entry.LastTime;
  Serve(PageBody(c.Body == Second::Text ? "News 2" : "News 1",
                 c.Body == Second::Same ? "token1" : "token2"),
        c.Again, c.Validators);
  ForgetRequests();

  ASSERT_EQ(Patrol(), kPatrolDone);

  const bool stored = c.Outcome == CheckOutcome::Stored;
  EXPECT_EQ(entry.Status, stored ? 1 : 2);
  EXPECT_EQ(Utf8(entry.LocalFile.View()), stored ? SaveFile("pA.html") : SaveFile("p.html"));
  if (!stored) {
    EXPECT_EQ(entry.HasLastTime, hadTime);
    EXPECT_EQ(entry.LastTime, time);
  }
  EXPECT_EQ(Names().size(), stored ? 4u : 2u);
  const std::vector<std::string> asked =
      stored ? std::vector<std::string>{"/p.html", "/i.gif"} : std::vector<std::string>{"/p.html"};
  EXPECT_EQ(Targets(), asked);
  const RecordedRequest page = server_.Requests()[forgotten_];
  EXPECT_EQ(page.Header("If-Modified-Since").value_or("-"),
            c.IfModifiedSince != nullptr ? c.IfModifiedSince : "-");
  EXPECT_EQ(page.Header("If-None-Match").value_or("-"),
            c.IfNoneMatch != nullptr ? c.IfNoneMatch : "-");
  EXPECT_EQ(report_.Counts.Updated, stored ? 1u : 0u);

  PatrolHistory history(HistoryAccess::Read, PatrolHistory::DefaultPath(), 0);
  const std::vector<PatrolLog> logs = history.Queries().RecentPatrols(1);
  ASSERT_EQ(logs.size(), 1u);
  ASSERT_EQ(logs[0].Entries.size(), 1u);
  EXPECT_EQ(logs[0].Entries[0].Outcome, c.Outcome);
  EXPECT_EQ(Utf8(logs[0].Entries[0].FollowsPath), SaveFile("p.html"));
  if (stored) {
    // The image came back as a 304 and is a second name of its first copy,
    // but for the change test that sends no validators.
    const RecordedRequest image = server_.Requests().back();
    const bool conditional = c.Test != ChangeTest::LastModified;
    EXPECT_EQ(image.Header("If-None-Match").has_value(), conditional);
    EXPECT_EQ(Inode(SaveFile("iA.gif")) == Inode(SaveFile("i.gif")), conditional);
    EXPECT_EQ(ReadBytes(SaveFile("iA.gif")), "GIF89a-image");
    EXPECT_THAT(ReadBytes(SaveFile("pA.html")), testing::HasSubstr("src=iA.gif"));
  }
}

using C = ChangeTest;
using O = CheckOutcome;
using V = Conditions;
const Headers kNone;
const Headers kBoth{kModified, kTag};

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Table, ChangeTests,
    testing::Values(
        ChangeCase{"LastModifiedOnly", C::SameText, {kModified}, {kModified}, V::Honoured,
                   Second::Same, kMonday, nullptr, O::NotModified},
        ChangeCase{"ETagOnly", C::SameText, {kTag}, {kTag}, V::Honoured, Second::Same, nullptr,
                   "W/\"v1\"", O::NotModified},
        ChangeCase{"Both", C::SameBytes, kBoth, kBoth, V::Honoured, Second::Text, kMonday,
                   "W/\"v1\"", O::NotModified},
        ChangeCase{"NeitherSameBody", C::SameBytes, kNone, kNone, V::Ignored, Second::Same,
                   nullptr, nullptr, O::SameContent},
        ChangeCase{"NeitherChangedText", C::SameText, kNone, kNone, V::Ignored, Second::Text,
                   nullptr, nullptr, O::Stored},
        ChangeCase{"MarkupOnlyByText", C::SameText, kNone, kNone, V::Ignored, Second::Markup,
                   nullptr, nullptr, O::SameContent},
        ChangeCase{"MarkupOnlyByBytes", C::SameBytes, kNone, kNone, V::Ignored, Second::Markup,
                   nullptr, nullptr, O::Stored},
        ChangeCase{"MarkupOnlyByLastModified", C::LastModified, kNone, kNone, V::Ignored,
                   Second::Markup, nullptr, nullptr, O::Stored},
        // The Parts' behaviour: no validators, and an equal time is unchanged.
        ChangeCase{"LastModifiedTestSendsNoValidators", C::LastModified, kBoth, kBoth,
                   V::Honoured, Second::Same, nullptr, nullptr, O::UnchangedLastModified},
        ChangeCase{"AMovingLastModifiedWithTheSameText", C::SameText, {kModified},
                   {{"Last-Modified", kTuesday}}, V::Ignored, Second::Markup, kMonday, nullptr,
                   O::SameContent},
        ChangeCase{"ServerIgnoresConditions", C::SameText, {kTag}, {kTag}, V::Ignored,
                   Second::Text, nullptr, "W/\"v1\"", O::Stored},
        ChangeCase{"Unasked304IsAFailedFetch", C::SameText, kNone, kNone, V::Always304,
                   Second::Text, nullptr, nullptr, O::Failed}),
    testing::PrintToStringParamName());
// clang-format on

// What an earlier copy stands for lasts while the copy does. A 304 that
// repeats no validator leaves the image's, so it is asked conditionally
// again; a page whose copy was deleted is stored again, with or without an
// ETag to ask by.
TEST_F(OneAtATime, EarlierCopiesCountWhileTheyAreThere) {
  ScriptedResponse image = ScriptedResponse::Ok("GIF89a-image");
  image.Headers = {kModified, {"ETag", "\"img\""}};
  image.Validators = Conditions::HonouredBare;
  server_.Script("/i.gif", image);
  UrlEntry& entry = Add("/p.html");
  entry.GetImages = 1;
  for (const char* news : {"News 1", "News 2", "News 3"}) {
    Page("/p.html", PageBody(news, "t"), std::nullopt);
    ForgetRequests();
    ASSERT_EQ(Patrol(), kPatrolDone);
  }
  EXPECT_EQ(server_.Requests().back().Header("If-None-Match").value_or("-"), "\"img\"");
  EXPECT_EQ(Inode(SaveFile("iB.gif")), Inode(SaveFile("i.gif")));

  for (const Headers& headers : {Headers{kTag}, kNone}) {
    SCOPED_TRACE(headers.size());
    ScriptedResponse page = ScriptedResponse::Ok(PageBody(headers.empty() ? "4" : "5", "t"));
    page.Headers = headers;
    page.Validators = Conditions::Honoured;
    server_.Script("/p.html", page);
    ASSERT_EQ(Patrol(), kPatrolDone);  // stores the page with the validators
    const std::string copy = Utf8(entry.LocalFile.View());
    std::filesystem::remove(copy);
    ForgetRequests();
    ASSERT_EQ(Patrol(), kPatrolDone);
    EXPECT_FALSE(server_.Requests()[forgotten_].Header("If-None-Match").has_value());
    EXPECT_EQ(report_.Counts.Updated, 1u);
    EXPECT_TRUE(std::filesystem::exists(Utf8(entry.LocalFile.View())));
  }
}

struct HistoryCase {
  const char* Name;
  const char* InItsPlace;  // what stands where the history goes: "" nothing, "/" a folder
  HistoryProblem Problem;  // the one message, if any
  bool Recorded;

  friend void PrintTo(const HistoryCase& c, std::ostream* os) { *os << c.Name; }
};

class HistoryTrouble : public OneAtATime, public testing::WithParamInterface<HistoryCase> {};

// Whatever becomes of the history, the patrols and the list come out as
// they would without one, with one message; only a usable history lets the
// second patrol find the page without a date unchanged.
TEST_P(HistoryTrouble, NeverCostsThePatrolOrTheList) {
  const HistoryCase& c = GetParam();
  const std::string path = home_.Program() + "/KivoHistory.db";
  std::filesystem::create_directories(home_.Program());
  if (std::string(c.InItsPlace) == "/") {
    std::filesystem::create_directory(path);
  } else if (*c.InItsPlace != '\0') {
    WriteBytes(path, c.InItsPlace);
  }
  Page("/a.html", "<p>same</p>", std::nullopt);
  UrlEntry& entry = Add("/a.html");

  EXPECT_EQ(Patrol(), kPatrolDone);
  EXPECT_EQ(entry.Status, 1);
  EXPECT_EQ(Utf8(entry.LocalFile.View()), SaveFile("a.html"));
  ASSERT_EQ(view_.errors.size(), c.Problem == HistoryProblem::None ? 0u : 1u);
  if (!view_.errors.empty()) {
    EXPECT_EQ(view_.errors[0].Kind, PatrolErrorKind::History);
    EXPECT_EQ(view_.errors[0].History, c.Problem);
  }
  EXPECT_EQ(report_.Counts.Updated, 1u);
  view_.errors.clear();

  EXPECT_EQ(Patrol(), kPatrolDone);
  EXPECT_EQ(Names().size(), c.Recorded ? 1u : 2u);
  EXPECT_EQ(report_.Counts.SameContent, c.Recorded ? 1u : 0u);
  EXPECT_EQ(view_.errors.size(), c.Recorded ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HistoryTrouble,
    testing::Values(HistoryCase{"Missing", "", HistoryProblem::None, true},
                    HistoryCase{"NotADatabase", "not a database", HistoryProblem::MovedAside, true},
                    HistoryCase{"FolderInItsPlace", "/", HistoryProblem::Unusable, false}),
    testing::PrintToStringParamName());

}  // namespace
}  // namespace kivo::test
