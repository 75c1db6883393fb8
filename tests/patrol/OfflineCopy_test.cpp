// A patrol of a small site of today's constructs: a style sheet chain three
// deep with images, srcset candidates, a video, and a page with a BASE. What
// the server is asked for, what is stored and how the stored copies refer to
// each other.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "patrol/PatrolHarness.h"
#include "platform/ProgramFolder.h"

namespace kivo::test {
namespace {

using testing::ElementsAreArray;
using testing::HasSubstr;
using testing::UnorderedElementsAreArray;

struct SiteCase {
  const char* Name;
  int32_t Connections;  // above 1, sheets and pages are read while they wait for their turn
  int32_t GetImages;
};
void PrintTo(const SiteCase& site, std::ostream* os) {
  *os << site.Name;
}

class OfflineCopyTest : public PatrolHarness, public testing::WithParamInterface<SiteCase> {
 protected:
  void SetUp() override {
    PatrolHarness::SetUp();
    Store(Setting::Connections, GetParam().Connections);
  }

  // Serves `body` at `path` with `contentType`.
  void Typed(const std::string& path, const std::string& body, const std::string& contentType) {
    ScriptedResponse response = ScriptedResponse::Ok(body);
    response.Headers.emplace_back("Content-Type", contentType);
    server_.Script(path, std::move(response));
  }

  std::string Stored(const std::string& name) const { return ReadBytes(SaveFile(name)); }
};

TEST_P(OfflineCopyTest, FollowsSheetsAndNewerReferencesAndRewritesThem) {
  const bool images = GetParam().GetImages != 0;
  Page("/index.html",
       "<link rel=stylesheet href=\"css/a.css\"><img srcset=\"s1.png 1x, s2.png 2x\">"
       "<video src=\"clip.webm\"></video>");
  Page("/css/a.css", "@import \"b.css\";\n.a { background: url(../img/a.png) }\n");
  Page("/css/b.css", "@import url(deep/c.php);\n@import \"missing.css\";\n");
  // Only its type tells that this one is a sheet.
  Typed("/css/deep/c.php", ".c { background: url( \"../../img/c.png\" ) }", "text/css");
  // Media is stored as it came, never read: the tag in it is not a reference.
  Typed("/clip.webm", "<img src=\"x.gif\">", "video/webm");
  // The srcset resolves against the base, the classic IMG SRC against the page.
  Page("/base/page.html",
       "<base href=\"../assets/\"><img srcset=\"i.png 1x\" src=\"old.png\">"
       "<a href=\"gone.html\">");
  for (const char* image :
       {"/s1.png", "/s2.png", "/img/a.png", "/img/c.png", "/assets/i.png", "/base/old.png"}) {
    Image(image);
  }
  Add("/index.html").GetImages = GetParam().GetImages;
  Add("/base/page.html").GetImages = GetParam().GetImages;

  EXPECT_EQ(Patrol(), kPatrolDone);

  std::vector<std::string> expected = {
      "/index.html",     "/s1.png",         "/s2.png",      "/css/a.css",       "/img/a.png",
      "/css/b.css",      "/css/deep/c.php", "/img/c.png",   "/css/missing.css", "/clip.webm",
      "/base/page.html", "/assets/i.png",   "/base/old.png"};
  if (!images) {
    std::erase_if(expected, [](const std::string& target) { return target.ends_with(".png"); });
  }
  if (GetParam().Connections == 1) {
    EXPECT_THAT(Targets(), ElementsAreArray(expected));
  } else {
    EXPECT_THAT(Targets(), UnorderedElementsAreArray(expected));
  }

  const std::string placeholder = Utf8(platform::ProgramFile(u"null.gif"));
  const auto image = [&](const std::string& name) { return images ? name : placeholder; };
  EXPECT_EQ(Stored("index.html"), "<link rel=stylesheet href=\"a.css\"><img srcset=\"" +
                                      image("s1.png") + " 1x, " + image("s2.png") +
                                      " 2x\"><video src=\"clip.webm\"></video>");
  EXPECT_EQ(Stored("a.css"),
            "@import \"b.css\";\n.a { background: url(" + image("a.png") + ") }\n");
  EXPECT_EQ(Stored("b.css"),
            "@import url(c.php);\n@import \"" + server_.Url("/css/missing.css") + "\";\n");
  EXPECT_EQ(Stored("c.php"), ".c { background: url( \"" + image("c.png") + "\" ) }");
  EXPECT_EQ(Stored("clip.webm"), "<img src=\"x.gif\">");
  EXPECT_EQ(Stored("page.html"), "<base href=\"\"><img srcset=\"" + image("i.png") +
                                     " 1x\" src=\"" + image("old.png") + "\"><a href=\"" +
                                     server_.Url("/base/gone.html") + "\">");
}

INSTANTIATE_TEST_SUITE_P(Site, OfflineCopyTest,
                         testing::Values(SiteCase{"OneConnection", 1, 1},
                                         SiteCase{"FetchedAhead", 4, 1},
                                         SiteCase{"WithoutImages", 1, 0}),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace kivo::test
