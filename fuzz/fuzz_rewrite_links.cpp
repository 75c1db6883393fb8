// Feeds arbitrary bytes to the link rewriter as a stored page. Beyond the
// sanitizers it checks that a page without "<" comes back byte for byte,
// and that the rewritten file is exactly the page with its edits applied:
// the edits lie inside the page, in order and without overlap, so the output
// never holds more of the page's bytes than the page has.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "html/PageEdits.h"
#include "html/RewriteLinks.h"
#include "platform/CodePage.h"
#include "platform/ProgramFolder.h"
#include "platform/Utf8.h"
#include "urllist/UrlMapping.h"

namespace {

struct World {
  std::string folder;
  std::string pagePath;
  kivo::FetchedFileList images;
  kivo::FetchedFileList pages;
  std::string placeholder;
  kivo::platform::CodePage ansi{kivo::platform::AnsiCodePageName()};
};
World* g_world = nullptr;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

std::unique_ptr<kivo::FetchedFile> Record(std::u16string_view url, const std::string& path) {
  auto file = std::make_unique<kivo::FetchedFile>();
  file->Url.Assign(url);
  file->LocalPath.Assign(kivo::platform::Utf16FromUtf8(path));
  return file;
}

constexpr std::u16string_view kPageUrls[] = {
    u"http://host/dir/page.html",
    u"http://host/dir/page.html#part",
    u"http://host",
    u"page#x/y",
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("KIVO_CODEPAGE", "CP932", 1);
  char folder[] = "/dev/shm/kivo-fuzz-rewrite-XXXXXX";
  if (::mkdtemp(folder) == nullptr) {
    std::abort();
  }
  ::setenv("KIVO_HOME", folder, 1);
  g_world = new World();  // lives for the whole run
  g_world->folder = folder;
  g_world->pagePath = g_world->folder + "/page.html";
  g_world->images.Add(Record(u"http://host/dir/a.gif", g_world->folder + "/aB.gif"));
  g_world->images.Add(Record(u"http://host/img/o.gif", "/elsewhere/o.gif"));
  g_world->pages.Add(Record(u"http://host/dir/page.html", g_world->folder + "/pageL.html"));
  g_world->pages.Add(Record(u"http://host/dir/p.html", g_world->folder + "/pA.html"));
  g_world->pages.Add(Record(u"http://host/o.html", "/elsewhere/o.html"));
  g_world->placeholder = g_world->ansi.Encode(kivo::platform::ProgramFile(u"null.gif"));
  std::atexit([] { std::filesystem::remove_all(g_world->folder); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  World& world = *g_world;
  kivo::FetchedFile page;
  page.Url.Assign(kPageUrls[data[0] % std::size(kPageUrls)]);
  const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
  {
    std::ofstream out(world.pagePath, std::ios::binary | std::ios::trunc);
    out.write(input.data(), static_cast<std::streamsize>(input.size()));
  }
  const std::u16string pagePath = kivo::platform::Utf16FromUtf8(world.pagePath);
  const kivo::RewriteSetup setup{world.ansi, world.placeholder};
  kivo::RewriteLinks(pagePath, page, world.images, world.pages, setup);
  const std::string output = ReadAll(world.pagePath);

  if (input.find('<') == std::string::npos) {
    Check(output == input);
  }

  const kivo::RewriteTargets targets{page.Url.View(),   kivo::FolderOfPath(pagePath),
                                     world.images,      world.pages,
                                     world.placeholder, world.ansi};
  kivo::PageEditScanner edits(input, targets);
  size_t pos = 0;
  size_t keptBytes = input.size();
  size_t replacementBytes = 0;
  while (const std::optional<kivo::LinkEdit> edit = edits.Next()) {
    Check(edit->Offset >= pos && edit->Offset <= input.size());
    Check(edit->Length <= input.size() - edit->Offset);
    pos = edit->Offset + edit->Length;
    keptBytes -= edit->Length;
    replacementBytes += edit->Replacement.size();
  }
  Check(keptBytes <= input.size());
  Check(output.size() == keptBytes + replacementBytes);
  std::string expected;
  if (!kivo::WriteEditedPage(input, targets,
                             [&expected](std::string_view piece) { expected.append(piece); })) {
    expected = input;
  }
  Check(output == expected);
  return 0;
}
