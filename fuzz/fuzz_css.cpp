// Feeds arbitrary bytes to the style sheet scanner, extractor and rewriter.
// Beyond the sanitizers it checks that the URLs lie inside the sheet in order
// and without overlap, that the lists keep to their cap, and that the
// rewritten sheet is the sheet with its edits applied and reads back with the
// same references: every replacement stands where a URL stood and is read
// whole as that URL's value, so escaping never spills into the sheet around it.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "html/CssScanner.h"
#include "html/StyleSheetEdits.h"
#include "html/StyleSheetLinks.h"
#include "platform/CodePage.h"

namespace {

struct World {
  kivo::platform::CodePage ansi{"CP932"};
  kivo::FetchedFileList images;
  kivo::FetchedFileList pages;
  std::string placeholder = "/opt/kivo (x)/null.gif";
};
World* g_world = nullptr;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

void Add(kivo::FetchedFileList& list, std::u16string_view url, std::u16string_view path) {
  list.Add(std::make_unique<kivo::FetchedFile>(
      kivo::FetchedFile{kivo::WideString(url), kivo::WideString(path)}));
}

struct Found {
  kivo::CssReferenceKind Kind;
  size_t Offset;
  size_t Length;
};

std::vector<Found> Scan(std::string_view sheet) {
  std::vector<Found> found;
  kivo::CssScanner css(sheet, g_world->ansi.LeadBytes());
  size_t end = 0;
  while (const std::optional<kivo::CssReference> reference = css.Next()) {
    Check(reference->Offset >= end && reference->Length > 0);
    Check(reference->Length <= sheet.size() - reference->Offset);
    end = reference->Offset + reference->Length;
    found.push_back(Found{reference->Kind, reference->Offset, reference->Length});
  }
  return found;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_world = new World();  // lives for the whole run
  Add(g_world->images, u"http://host/css/a.png", u"/save/css/a b(1).png");
  Add(g_world->images, u"http://host/img/b.png", u"/save/css/b\"'.png");
  Add(g_world->pages, u"http://host/css/base.css", u"/save/css/baseA.css");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  World& world = *g_world;
  const std::string_view sheet(reinterpret_cast<const char*>(data), size);
  const std::u16string_view sheetUrl = u"http://host/css/site.css";
  const std::vector<Found> before = Scan(sheet);

  kivo::PageLinks links;
  kivo::ExtractStyleSheetLinksFromBytes(links, sheetUrl, sheet, world.ansi);
  Check(links.ImageUrls.Count() <= kivo::kMaxUrlsPerList);
  Check(links.FrameUrls.Count() <= kivo::kMaxUrlsPerList && links.LinkUrls.Count() == 0);

  const kivo::RewriteTargets targets{sheetUrl,    u"/save/css/",     world.images,
                                     world.pages, world.placeholder, world.ansi};
  std::string output;
  std::vector<std::pair<size_t, size_t>> replaced;  // in the output
  kivo::StyleSheetEditScanner edits(sheet, targets);
  size_t pos = 0;
  while (const std::optional<kivo::LinkEdit> edit = edits.Next()) {
    Check(edit->Offset >= pos && edit->Length <= sheet.size() - edit->Offset);
    output.append(sheet.substr(pos, edit->Offset - pos));
    replaced.emplace_back(output.size(), edit->Replacement.size());
    output.append(edit->Replacement);
    pos = edit->Offset + edit->Length;
  }
  output.append(sheet.substr(pos));

  std::string written;
  if (!kivo::WriteEditedStyleSheet(sheet, targets,
                                   [&written](std::string_view piece) { written.append(piece); })) {
    written = sheet;
  }
  Check(written == output);

  const std::vector<Found> after = Scan(output);
  Check(after.size() == before.size());
  size_t next = 0;
  for (size_t i = 0; i < after.size(); ++i) {
    Check(after[i].Kind == before[i].Kind);
    if (next < replaced.size() && replaced[next].first == after[i].Offset) {
      Check(replaced[next].second == after[i].Length);
      ++next;
    }
  }
  Check(next == replaced.size());
  return 0;
}
