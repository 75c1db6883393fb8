// Measures link extraction and link rewriting on stored pages: throughput on
// a 4 MB page of mixed tags with Shift-JIS text, and how the time grows from
// 1,000 to 100,000 distinct links.
//
// Pages are written to a fresh folder under $TMPDIR (default /tmp), so the
// rewriting figures include the temporary file, its fsync and the rename.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "html/ExtractLinks.h"
#include "html/FetchedFileList.h"
#include "html/PageEdits.h"
#include "html/RewriteLinks.h"
#include "html/StyleSheetEdits.h"
#include "html/StyleSheetLinks.h"
#include "platform/CodePage.h"
#include "platform/ProgramFolder.h"
#include "platform/Utf8.h"
#include "urllist/UrlMapping.h"

namespace {

using kivo::platform::Utf16FromUtf8;

// "日本語のページです。写真とリンクがあります。" in Shift-JIS.
const std::string kJapanese =
    "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x79\x81\x5b\x83\x57\x82\xc5\x82\xb7\x81\x42"
    "\x8e\xca\x90\x5e\x82\xc6\x83\x8a\x83\x93\x83\x4e\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb7"
    "\x81\x42";

class BenchFolder {
 public:
  BenchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/kivo-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) {
      path_ = pattern;
    }
    ::setenv("KIVO_HOME", path_.c_str(), 1);
    ::setenv("KIVO_CODEPAGE", "CP932", 1);
  }
  ~BenchFolder() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::unique_ptr<kivo::FetchedFile> Record(const std::string& url, const std::string& path) {
  auto file = std::make_unique<kivo::FetchedFile>();
  file->Url.Assign(Utf16FromUtf8(url));
  file->LocalPath.Assign(Utf16FromUtf8(path));
  return file;
}

constexpr char kPageUrl[] = "http://www.example.jp/news/index.html";

// A page like a Japanese news site: paragraphs, tables, comments, scripts,
// and a link or image every few hundred bytes, drawn from 500 targets.
std::string MixedPage(size_t bytes) {
  std::string page = "<html><head><title>" + kJapanese +
                     "</title>\n<link rel=stylesheet href=\"/css/main.css\">\n"
                     "<script src=\"/js/menu.js\"></script></head>\n<body bgcolor=white>\n";
  for (int i = 0; page.size() < bytes; ++i) {
    const std::string n = std::to_string(i % 500);
    switch (i % 6) {
      case 0:
        page += "<p class=\"text\">" + kJapanese + kJapanese + "</p>\n";
        break;
      case 1:
        page += "<a href=\"article" + n + ".html#s" + n + "\">" + kJapanese + "</a><br>\n";
        break;
      case 2:
        page += "<IMG SRC=\"img/photo" + n + ".jpg\" ALT=\"" + kJapanese.substr(0, 8) +
                "\" WIDTH=120 HEIGHT=90>\n";
        break;
      case 3:
        page += "<table border=1 cellpadding=2><tr><td>" + kJapanese + "</td><td><a href=/" + n +
                "/>" + n + "</a></td></tr></table>\n";
        break;
      case 4:
        page += "<!-- " + kJapanese + " --><div class=box><span>" + kJapanese + "</span></div>\n";
        break;
      default:
        page += "<script>var s = \"" + n +
                "\";</script><form><input type=text name=q>"
                "<input type=image src=\"/btn/go.gif\"></form>\n";
        break;
    }
  }
  return page + "</body></html>\n";
}

// A page with `count` distinct links and as many distinct images.
std::string DistinctLinksPage(int count) {
  std::string page = "<html><body>\n";
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    page += "<a href=\"p" + n + ".html\">" + kJapanese.substr(0, 10) + "</a> <img src=\"i" + n +
            ".gif\">\n";
  }
  return page + "</body></html>\n";
}

// The records of a patrol that fetched every other link and image of the page.
void AddRecords(const BenchFolder& folder, int count, kivo::FetchedFileList& images,
                kivo::FetchedFileList& pages) {
  const std::string base = "http://www.example.jp/news/";
  for (int i = 0; i < count; i += 2) {
    const std::string n = std::to_string(i);
    images.Add(Record(base + "i" + n + ".gif", folder.File("i" + n + "A.gif")));
    pages.Add(Record(base + "p" + n + ".html", folder.File("p" + n + "A.html")));
  }
  for (int i = 0; i < 500; i += 2) {
    const std::string n = std::to_string(i);
    images.Add(Record(base + "img/photo" + n + ".jpg", folder.File("photo" + n + ".jpg")));
    pages.Add(Record(base + "article" + n + ".html", folder.File("article" + n + ".html")));
  }
}

void RunExtract(benchmark::State& state, const std::string& page) {
  BenchFolder folder;
  const std::string path = folder.File("page.html");
  WriteFile(path, page);
  const std::u16string widePath = Utf16FromUtf8(path);
  const std::u16string pageUrl = Utf16FromUtf8(kPageUrl);
  kivo::PageLinks links;
  const kivo::platform::CodePage ansi(kivo::platform::AnsiCodePageName());
  for (auto _ : state) {
    benchmark::DoNotOptimize(kivo::ExtractLinks(links, pageUrl, widePath, ansi));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
  state.counters["urls"] = static_cast<double>(links.ImageUrls.Count() + links.LinkUrls.Count() +
                                               links.FrameUrls.Count());
}

void RunRewrite(benchmark::State& state, const std::string& page, int records) {
  BenchFolder folder;
  kivo::FetchedFileList images;
  kivo::FetchedFileList pages;
  AddRecords(folder, records, images, pages);
  const std::string path = folder.File("page.html");
  const std::u16string widePath = Utf16FromUtf8(path);
  kivo::FetchedFile self;
  self.Url.Assign(Utf16FromUtf8(kPageUrl));
  self.LocalPath.Assign(widePath);
  const kivo::platform::CodePage ansi(kivo::platform::AnsiCodePageName());
  const kivo::RewriteSetup setup{ansi, ansi.Encode(kivo::platform::ProgramFile(u"null.gif"))};
  for (auto _ : state) {
    state.PauseTiming();
    WriteFile(path, page);
    state.ResumeTiming();
    kivo::RewriteLinks(widePath, self, images, pages, setup);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}

void BM_ExtractLinks_Mixed4MB(benchmark::State& state) {
  RunExtract(state, MixedPage(4 << 20));
}
BENCHMARK(BM_ExtractLinks_Mixed4MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RewriteLinks_Mixed4MB(benchmark::State& state) {
  RunRewrite(state, MixedPage(4 << 20), 0);
}
BENCHMARK(BM_RewriteLinks_Mixed4MB)->Unit(benchmark::kMillisecond)->UseRealTime();

// The rewriter's scan and edit application alone, without any file access.
void BM_FindLinkEdits_Mixed4MB(benchmark::State& state) {
  BenchFolder folder;
  kivo::FetchedFileList images;
  kivo::FetchedFileList pages;
  AddRecords(folder, 0, images, pages);
  const std::string page = MixedPage(4 << 20);
  const std::u16string pageUrl = Utf16FromUtf8(kPageUrl);
  const kivo::platform::CodePage ansi(kivo::platform::AnsiCodePageName());
  const std::string placeholder = ansi.Encode(kivo::platform::ProgramFile(u"null.gif"));
  const std::u16string pagePath = Utf16FromUtf8(folder.File("page.html"));
  const kivo::RewriteTargets targets{
      pageUrl, kivo::FolderOfPath(pagePath), images, pages, placeholder, ansi};
  std::string output;
  for (auto _ : state) {
    output.clear();
    kivo::WriteEditedPage(page, targets,
                          [&output](std::string_view piece) { output.append(piece); });
    benchmark::DoNotOptimize(output.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_FindLinkEdits_Mixed4MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExtractLinks_DistinctLinks(benchmark::State& state) {
  RunExtract(state, DistinctLinksPage(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ExtractLinks_DistinctLinks)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_RewriteLinks_DistinctLinks(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  RunRewrite(state, DistinctLinksPage(count), count);
}
BENCHMARK(BM_RewriteLinks_DistinctLinks)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A style sheet of `bytes` bytes like a site's theme: rules with comments,
// strings, url() with and without quotes drawn from 500 images, and an
// @import every hundred rules.
std::string StyleSheet(size_t bytes) {
  std::string sheet = "@charset \"Shift_JIS\";\n";
  for (int i = 0; sheet.size() < bytes; ++i) {
    const std::string n = std::to_string(i % 500);
    sheet += "/* " + kJapanese + " */\n.c" + std::to_string(i) +
             " { font-family: \"MS PGothic\", sans-serif; background: url(\"img/i" + n +
             ".png\") no-repeat; }\n.d" + n + ":hover { cursor: url( cur/" + n +
             ".cur ), auto; }\n";
    if (i % 100 == 0) {
      sheet += "@import url(part" + n + ".css) screen;\n";
    }
  }
  return sheet;
}

// A sheet made to be slow: one line of url( inside url( without end.
std::string NestedSheet(size_t bytes) {
  std::string sheet;
  while (sheet.size() < bytes) {
    sheet += "url(";
  }
  return sheet;
}

// The rewriting targets of a sheet stored at www.example.jp/css/, with every
// other image and style sheet stored.
struct SheetTargets {
  BenchFolder folder;
  kivo::FetchedFileList images;
  kivo::FetchedFileList pages;
  kivo::platform::CodePage ansi{kivo::platform::AnsiCodePageName()};
  std::string placeholder = ansi.Encode(kivo::platform::ProgramFile(u"null.gif"));
  std::u16string sheetUrl = Utf16FromUtf8("http://www.example.jp/css/site.css");
  std::u16string folderPath = Utf16FromUtf8(folder.File(""));

  SheetTargets() {
    for (int i = 0; i < 500; i += 2) {
      const std::string n = std::to_string(i);
      images.Add(Record("http://www.example.jp/css/img/i" + n + ".png", folder.File(n + ".png")));
      pages.Add(Record("http://www.example.jp/css/part" + n + ".css", folder.File(n + ".css")));
    }
  }
  kivo::RewriteTargets Targets() const {
    return {sheetUrl, folderPath, images, pages, placeholder, ansi};
  }
};

void RunSheetScan(benchmark::State& state, const std::string& sheet) {
  const SheetTargets world;
  kivo::PageLinks links;
  for (auto _ : state) {
    kivo::ExtractStyleSheetLinksFromBytes(links, world.sheetUrl, sheet, world.ansi);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(sheet.size()));
  state.counters["urls"] = static_cast<double>(links.ImageUrls.Count() + links.FrameUrls.Count());
}

void RunSheetRewrite(benchmark::State& state, const std::string& sheet) {
  const SheetTargets world;
  const kivo::RewriteTargets targets = world.Targets();
  std::string output;
  for (auto _ : state) {
    output.clear();
    kivo::WriteEditedStyleSheet(sheet, targets,
                                [&output](std::string_view piece) { output.append(piece); });
    benchmark::DoNotOptimize(output.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(sheet.size()));
}

// Scanning and rewriting a sheet, in memory, at 1, 4 and 16 MiB: the time per
// byte stays the same.
void BM_StyleSheetScan(benchmark::State& state) {
  RunSheetScan(state, StyleSheet(static_cast<size_t>(state.range(0)) << 20));
}
BENCHMARK(BM_StyleSheetScan)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

void BM_StyleSheetRewrite(benchmark::State& state) {
  RunSheetRewrite(state, StyleSheet(static_cast<size_t>(state.range(0)) << 20));
}
BENCHMARK(BM_StyleSheetRewrite)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

// The hostile sheet of 4 and 50 MiB: url( nested without end on one line.
void BM_StyleSheetScanNested(benchmark::State& state) {
  RunSheetScan(state, NestedSheet(static_cast<size_t>(state.range(0)) << 20));
}
BENCHMARK(BM_StyleSheetScanNested)->Arg(4)->Arg(50)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
