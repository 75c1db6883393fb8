#include "patrol/AdmissionTest.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/ScopedEnv.h"
#include "common/TempDir.h"
#include "patrol/PatrolSettings.h"
#include "patrol/UrlMapping.h"

namespace kivo {
namespace {

struct ServerRuleCase {
  const char* Name;
  const char* EntryUrl;
  int32_t OnlyListedServers;
  std::vector<std::string> Servers;
  const char* Link;
  bool Passes;
};

class ServerRule : public testing::TestWithParam<ServerRuleCase> {};

TEST_P(ServerRule, DecidesAsSpecified) {
  const ServerRuleCase& c = GetParam();
  UrlEntry entry;
  entry.Url.Assign(test::U16(c.EntryUrl));
  entry.OnlyListedServers = c.OnlyListedServers;
  for (const std::string& server : c.Servers) {
    entry.Servers.Add(std::make_unique<WideString>(test::U16(server)));
  }
  const WideString entryServer = ServerOfUrl(entry.Url.View());
  EXPECT_EQ(PassesServerRule(entry, entryServer.View(), test::U16(c.Link)), c.Passes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ServerRule,
    testing::Values(
        ServerRuleCase{"SameServer", "http://h/a.html", 1, {}, "http://h/b/c.html", true},
        ServerRuleCase{"OtherServerEmptyList", "http://h/a.html", 1, {}, "http://g/b.html", false},
        ServerRuleCase{"PortEightyDiffers", "http://h/a.html", 1, {}, "http://h:80/b.html", false},
        ServerRuleCase{
            "PortEightyDiffersBack", "http://h:80/a.html", 1, {}, "http://h/b.html", false},
        ServerRuleCase{
            "ServerPartIsCaseSensitive", "http://h/a.html", 1, {}, "http://H/b.html", false},
        ServerRuleCase{
            "PrefixAdmits", "http://h/a.html", 1, {"http://g/pub/"}, "http://g/pub/x.html", true},
        ServerRuleCase{"PrefixOverItsWholeLength",
                       "http://h/a.html",
                       1,
                       {"http://g/pub/"},
                       "http://g/pu",
                       false},
        ServerRuleCase{
            "PrefixIsCaseSensitive", "http://h/a.html", 1, {"http://G/"}, "http://g/x.html", false},
        ServerRuleCase{"LaterPrefixAdmits",
                       "http://h/a.html",
                       1,
                       {"http://x/", "http://g/"},
                       "http://g/x.html",
                       true},
        ServerRuleCase{"EmptyPrefixAdmitsAll", "http://h/a.html", 1, {""}, "http://g/x.html", true},
        ServerRuleCase{"AnyServer", "http://h/a.html", 0, {}, "http://g/x.html", true},
        ServerRuleCase{
            "AnyServerIgnoresList", "http://h/a.html", 0, {"http://x/"}, "http://g/x.html", true}),
    [](const testing::TestParamInfo<ServerRuleCase>& info) { return info.param.Name; });

TEST(AdmissionTest, RejectsUrlsInThePatrolListAndFetchedUrls) {
  UrlEntry entry;
  entry.Url.Assign(u"http://h/a.html");
  UrlEntry other;
  other.Url.Assign(u"http://h/listed.html");
  PatrolList list;
  list.Add(&entry);
  list.Add(&other);
  FetchedUrlList fetched;
  fetched.Add(u"http://h/fetched.html");
  const std::u16string server = u"h";
  EXPECT_TRUE(AdmitsUrl(entry, server, u"http://h/new.html", list, fetched));
  EXPECT_FALSE(AdmitsUrl(entry, server, u"http://h/listed.html", list, fetched));
  EXPECT_FALSE(AdmitsUrl(entry, server, u"http://h/a.html", list, fetched));
  EXPECT_FALSE(AdmitsUrl(entry, server, u"http://h/fetched.html", list, fetched));
  EXPECT_FALSE(AdmitsUrl(entry, server, u"http://g/new.html", list, fetched));
}

struct ClampCase {
  uint32_t Stored;
  uint32_t Used;
};

TEST(PatrolSettings, ClampsTimeoutsBeforeMultiplying) {
  const ClampCase cases[] = {{0, 10},    {5, 10},    {10, 10},           {45, 45},
                             {600, 600}, {601, 600}, {0xFFFFFFFFu, 600}, {4294968u, 600}};
  for (const ClampCase& c : cases) {
    EXPECT_EQ(ClampTimeoutSeconds(c.Stored), c.Used) << c.Stored;
  }
}

// A folder from a hand-made list file may lack its final "/" or be empty;
// joining it with file names must still name files inside a folder.
TEST(PatrolSettings, FoldersAlwaysEndWithASlash) {
  test::TempDir home;
  test::ScopedEnv programFolder("KIVO_HOME", home.File("prog"));
  EXPECT_EQ(NormaliseFolder(u"/srv/web/").View(), u"/srv/web/");
  EXPECT_EQ(NormaliseFolder(u"/srv/web").View(), u"/srv/web/");
  EXPECT_EQ(NormaliseFolder(u"").View(), test::U16(home.File("prog") + "/"));
}

}  // namespace
}  // namespace kivo
