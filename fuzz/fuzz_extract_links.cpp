// Feeds arbitrary bytes to the link extractor as a stored page and checks
// the promises of its result: three duplicate-free lists of bounded URLs,
// nothing at all from a page without "<", and the same result from the file
// as from the bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unordered_set>

#include "html/CombineUrl.h"
#include "html/ExtractLinks.h"

namespace {

std::string g_pagePath;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

void CheckList(const kivo::OwnedPtrArray<kivo::WideString>& list) {
  std::unordered_set<std::u16string_view> seen;
  for (const kivo::WideString* url : list) {
    Check(url != nullptr);
    Check(url->Length() <= kivo::kMaxUrlLength);
    Check(seen.insert(url->View()).second);
  }
}

bool SameList(const kivo::OwnedPtrArray<kivo::WideString>& a,
              const kivo::OwnedPtrArray<kivo::WideString>& b) {
  if (a.Count() != b.Count()) {
    return false;
  }
  for (int32_t i = 0; i < a.Count(); ++i) {
    if (!a[i]->Equals(*b[i])) {
      return false;
    }
  }
  return true;
}

constexpr std::u16string_view kPageUrls[] = {
    u"http://host/dir/page.html",
    u"http://host/dir/page.html#part",
    u"http://host",
    u"page#x/y",
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("KIVO_CODEPAGE", "CP932", 1);
  char folder[] = "/dev/shm/kivo-fuzz-extract-XXXXXX";
  if (::mkdtemp(folder) == nullptr) {
    std::abort();
  }
  g_pagePath = std::string(folder) + "/page.html";
  static const std::string kFolder = folder;
  std::atexit([] { std::filesystem::remove_all(kFolder); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::u16string_view pageUrl = kPageUrls[data[0] % std::size(kPageUrls)];
  const std::string_view page(reinterpret_cast<const char*>(data + 1), size - 1);
  {
    std::ofstream out(g_pagePath, std::ios::binary | std::ios::trunc);
    out.write(page.data(), static_cast<std::streamsize>(page.size()));
  }
  kivo::PageLinks links;
  const kivo::platform::CodePage ansi(kivo::platform::AnsiCodePageName());
  Check(kivo::ExtractLinks(links, pageUrl, std::u16string(g_pagePath.begin(), g_pagePath.end()),
                           ansi));
  CheckList(links.ImageUrls);
  CheckList(links.LinkUrls);
  CheckList(links.FrameUrls);
  if (page.find('<') == std::string_view::npos) {
    Check(links.ImageUrls.Count() + links.LinkUrls.Count() + links.FrameUrls.Count() == 0);
  }
  kivo::PageLinks fromBytes;
  kivo::ExtractLinksFromBytes(fromBytes, pageUrl, page, ansi);
  Check(SameList(links.ImageUrls, fromBytes.ImageUrls));
  Check(SameList(links.LinkUrls, fromBytes.LinkUrls));
  Check(SameList(links.FrameUrls, fromBytes.FrameUrls));
  kivo::ClearPageLinks(links);
  return 0;
}
