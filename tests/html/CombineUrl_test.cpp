#include "html/CombineUrl.h"

#include <gtest/gtest.h>

#include <span>
#include <string>

#include "common/TempDir.h"
#include "platform/Utf8.h"

namespace kivo {
namespace {

using test::U16;

struct Case {
  const char* base;
  const char* relative;
  const char* expected;
};

std::string Combined(const std::string& base, const std::string& relative) {
  const std::optional<WideString> url = CombineUrl(U16(base), U16(relative));
  return url.has_value() ? platform::Utf8FromUtf16(url->View()) : "(none)";
}

constexpr const char* kRfcBase = "http://a/b/c/d;p?q";

// RFC 3986, section 5.4.1.
const Case kRfcNormalExamples[] = {
    {kRfcBase, "g:h", "g:h"},
    {kRfcBase, "g", "http://a/b/c/g"},
    {kRfcBase, "./g", "http://a/b/c/g"},
    {kRfcBase, "g/", "http://a/b/c/g/"},
    {kRfcBase, "/g", "http://a/g"},
    {kRfcBase, "//g", "http://g"},
    {kRfcBase, "?y", "http://a/b/c/d;p?y"},
    {kRfcBase, "g?y", "http://a/b/c/g?y"},
    {kRfcBase, "#s", "http://a/b/c/d;p?q#s"},
    {kRfcBase, "g#s", "http://a/b/c/g#s"},
    {kRfcBase, "g?y#s", "http://a/b/c/g?y#s"},
    {kRfcBase, ";x", "http://a/b/c/;x"},
    {kRfcBase, "g;x", "http://a/b/c/g;x"},
    {kRfcBase, "g;x?y#s", "http://a/b/c/g;x?y#s"},
    {kRfcBase, "", "http://a/b/c/d;p?q"},
    {kRfcBase, ".", "http://a/b/c/"},
    {kRfcBase, "./", "http://a/b/c/"},
    {kRfcBase, "..", "http://a/b/"},
    {kRfcBase, "../", "http://a/b/"},
    {kRfcBase, "../g", "http://a/b/g"},
    {kRfcBase, "../..", "http://a/"},
    {kRfcBase, "../../", "http://a/"},
    {kRfcBase, "../../g", "http://a/g"},
};

// RFC 3986, section 5.4.2 (with the strict treatment of "http:g").
const Case kRfcAbnormalExamples[] = {
    {kRfcBase, "../../../g", "http://a/g"},
    {kRfcBase, "../../../../g", "http://a/g"},
    {kRfcBase, "/./g", "http://a/g"},
    {kRfcBase, "/../g", "http://a/g"},
    {kRfcBase, "g.", "http://a/b/c/g."},
    {kRfcBase, ".g", "http://a/b/c/.g"},
    {kRfcBase, "g..", "http://a/b/c/g.."},
    {kRfcBase, "..g", "http://a/b/c/..g"},
    {kRfcBase, "./../g", "http://a/b/g"},
    {kRfcBase, "./g/.", "http://a/b/c/g/"},
    {kRfcBase, "g/./h", "http://a/b/c/g/h"},
    {kRfcBase, "g/../h", "http://a/b/c/h"},
    {kRfcBase, "g;x=1/./y", "http://a/b/c/g;x=1/y"},
    {kRfcBase, "g;x=1/../y", "http://a/b/c/y"},
    {kRfcBase, "g?y/./x", "http://a/b/c/g?y/./x"},
    {kRfcBase, "g?y/../x", "http://a/b/c/g?y/../x"},
    {kRfcBase, "g#s/./x", "http://a/b/c/g#s/./x"},
    {kRfcBase, "g#s/../x", "http://a/b/c/g#s/../x"},
    {kRfcBase, "http:g", "http:g"},
};

// The page's own rules: the base's fragment, raw text, and what pages hold.
const Case kPageCases[] = {
    // A fragment after the base's last "/" is dropped; one before it is path.
    {"http://host/dir/page.html#part", "b.html", "http://host/dir/b.html"},
    {"http://host/dir/page.html#part", "", "http://host/dir/page.html"},
    {"http://host/dir/page.html#part", "#top", "http://host/dir/page.html#top"},
    // Step one leaves a "#" before the last "/" alone; the resolution then
    // reads it as the start of the base's fragment, as the RFC says.
    {"http://host/d#x/page.html", "b.html", "http://host/b.html"},
    {"http://host/d#x/page.html", "", "http://host/d"},
    {"page#frag", "", "page"},
    // Nothing is encoded, decoded or normalised.
    {"http://host/dir/", "a b.html", "http://host/dir/a b.html"},
    {"http://host/dir/", "%7e%41.html", "http://host/dir/%7e%41.html"},
    {"http://host/dir/", "\xE6\x97\xA5\xE6\x9C\xAC.html",
     "http://host/dir/\xE6\x97\xA5\xE6\x9C\xAC.html"},
    {"HTTP://Host:80/Dir/", "x", "HTTP://Host:80/Dir/x"},
    {"http://host/dir/", "HTTP://OTHER:8080/A/../b", "HTTP://OTHER:8080/A/../b"},
    {"http://host/dir/", "\\x\\y", "http://host/dir/\\x\\y"},
    {"http://host/dir/", "..\\x", "http://host/dir/..\\x"},
    {"http://host/dir/", "mailto:me@example.com", "mailto:me@example.com"},
    {"http://host/dir/", "javascript:go('a/../b')", "javascript:go('a/../b')"},
    // Only a real scheme counts; "1x:" and ":x" are relative paths.
    {"http://host/dir/", "1x:y", "http://host/dir/1x:y"},
    {"http://host/dir/", ":x", "http://host/dir/:x"},
    // A base with an empty path gets a "/" before a merged name.
    {"http://host", "a.gif", "http://host/a.gif"},
    {"http://host?q", "", "http://host?q"},
    // A query on an http(s) URL with an empty path gets the root "/".
    {"http://host", "?page=2", "http://host/?page=2"},
    {"HTTPS://host/a", "//other?x", "HTTPS://other/?x"},
    {"http://host", "#top", "http://host#top"},
    {"ftp://host", "?x", "ftp://host?x"},
    {"http://host/dir/page.html", "?", "http://host/dir/page.html?"},
    {"http://host/dir/page.html", "#", "http://host/dir/page.html#"},
    {"http://host/dir/page.html?a=b/c", "x", "http://host/dir/x"},
};

TEST(CombineUrlTest, Cases) {
  for (const auto& table :
       {std::span<const Case>(kRfcNormalExamples), std::span<const Case>(kRfcAbnormalExamples),
        std::span<const Case>(kPageCases)}) {
    for (const Case& c : table) {
      EXPECT_EQ(Combined(c.base, c.relative), c.expected)
          << "base " << c.base << ", relative " << c.relative;
    }
  }
}

TEST(CombineUrlTest, ResultsAboveTheLimitAreNoResult) {
  const std::string base = "http://host/";  // 12 characters
  const std::string fits(kMaxUrlLength - base.size(), 'x');
  EXPECT_EQ(Combined(base, fits).size(), static_cast<size_t>(kMaxUrlLength));
  EXPECT_EQ(Combined(base, fits + "y"), "(none)");
  const std::string absolute = "http://h/" + std::string(kMaxUrlLength, 'z');
  EXPECT_EQ(Combined(base, absolute), "(none)");
  // The limit applies to the result, not to the inputs.
  EXPECT_EQ(Combined(base + std::string(2000, 'q') + "/", "../" + std::string(2000, 'q') + "/.."),
            base);
}

TEST(CombineUrlTest, EscapedBytesAndSurrogatesPassThrough) {
  // Bytes that did not decode travel as U+DC80..U+DCFF and must come back as they were.
  const std::u16string relative = u"a\xDC81\xDCFF.html";
  const std::optional<WideString> url = CombineUrl(u"http://h/d/", relative);
  ASSERT_TRUE(url.has_value());
  EXPECT_EQ(std::u16string(url->View()), u"http://h/d/" + relative);
}

}  // namespace
}  // namespace kivo
