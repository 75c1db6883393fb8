#include "patrol/AdmissionTest.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/TempDir.h"
#include "urllist/UrlMapping.h"

namespace kivo {
namespace {

TEST(AdmissionTest, TheServerRuleDecidesWhichLinksPass) {
  constexpr const char* kH = "http://h/a.html";
  struct Case {
    const char* name;
    const char* entryUrl;
    int32_t onlyListedServers;
    std::vector<std::string> servers;
    const char* link;
    bool passes;
  };
  const Case cases[] = {
      {"same server", kH, 1, {}, "http://h/b/c.html", true},
      {"other server, empty list", kH, 1, {}, "http://g/b.html", false},
      {"port 80 differs", kH, 1, {}, "http://h:80/b.html", false},
      {"port 80 differs back", "http://h:80/a.html", 1, {}, "http://h/b.html", false},
      {"server part is case-sensitive", kH, 1, {}, "http://H/b.html", false},
      {"prefix admits", kH, 1, {"http://g/pub/"}, "http://g/pub/x.html", true},
      {"prefix over its whole length", kH, 1, {"http://g/pub/"}, "http://g/pu", false},
      {"prefix is case-sensitive", kH, 1, {"http://G/"}, "http://g/x.html", false},
      {"later prefix admits", kH, 1, {"http://x/", "http://g/"}, "http://g/x.html", true},
      {"empty prefix admits all", kH, 1, {""}, "http://g/x.html", true},
      {"any server", kH, 0, {}, "http://g/x.html", true},
      {"any server ignores the list", kH, 0, {"http://x/"}, "http://g/x.html", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UrlEntry entry;
    entry.Url.Assign(test::U16(c.entryUrl));
    entry.OnlyListedServers = c.onlyListedServers;
    for (const std::string& server : c.servers) {
      entry.Servers.Add(std::make_unique<WideString>(test::U16(server)));
    }
    const WideString entryServer = ServerOfUrl(entry.Url.View());
    EXPECT_EQ(PassesServerRule(entry, entryServer.View(), test::U16(c.link)), c.passes);
  }
}

}  // namespace
}  // namespace kivo
