// The guess that keeps a document of dense links from being read ahead only
// to be thrown away does not fall short of what its links hold once read,
// when they resolve to URLs no longer than the document's own.
#include <gtest/gtest.h>

#include <string>

#include "html/ExtractLinks.h"
#include "html/StyleSheetLinks.h"
#include "patrol/LinkBudget.h"
#include "platform/CodePage.h"

namespace kivo {
namespace {

TEST(LinkBudget, TheGuessCoversTheLinksOfDensePagesAndSheets) {
  const platform::CodePage ansi("CP932");
  const std::u16string url = u"http://example.com/a/long/path/to/the/document/index.html";
  const struct {
    DocumentKind Kind;
    std::string Unit;  // repeated, each with its own number
  } cases[] = {
      {DocumentKind::Page, "<img src=i?>"},
      {DocumentKind::Page, "<a href=p?>x</a>"},
      {DocumentKind::StyleSheet, "b{background:url(i?)}"},
      {DocumentKind::StyleSheet, "b{background:URL(\"i?\")}"},
      {DocumentKind::StyleSheet, "@import \"s?.css\";"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Unit);
    std::string body;
    for (int i = 0; i < 500; ++i) {
      const std::string number = std::to_string(i);
      body += c.Unit.substr(0, c.Unit.find('?')) + number + c.Unit.substr(c.Unit.find('?') + 1);
    }
    PageLinks links;
    if (c.Kind == DocumentKind::StyleSheet) {
      ExtractStyleSheetLinksFromBytes(links, url, body, ansi);
    } else {
      ExtractLinksFromBytes(links, url, body, ansi);
    }
    const uint64_t held = HeldBytes(links);
    EXPECT_GT(held, 500u * kBytesPerLink);
    EXPECT_GE(GuessLinkBytes(body, c.Kind, url.size()), held);
    ClearPageLinks(links);
  }
}

}  // namespace
}  // namespace kivo
