#include "html/PageText.h"

#include <gtest/gtest.h>

#include <string>

#include "common/TempDir.h"

namespace kivo {
namespace {

std::string Text(const std::string& page) {
  const platform::CodePage cp932("CP932");
  return test::Utf8(ExtractPageText(page, cp932));
}

struct Case {
  const char* name;
  std::string page;
  const char* expected;
};

TEST(PageTextTest, ReadsWhatAReaderSees) {
  const Case cases[] = {
      {"folds white space", " a \r\n\t b&nbsp;&#12288; c ", "a b c"},
      {"blocks end lines", "<p>one</p><DIV>two<br>three</div><li>four", "one\ntwo\nthree\nfour"},
      {"inline runs on", "a<b>b</b><span class=x>c</span>", "abc"},
      {"cells", "<table><tr><td>a</td><td>b</td></tr><tr><th>c</table>", "a b\nc"},
      {"hidden", "x<script>a='<p>'</script>y<style>p{}</STYLE >z<!-- c -->w<noscript>n</noscript>",
       "xyzw"},
      {"template", "a<template><p>t<template>u</template>v</template>b", "ab"},
      {"title and alt", "<title>T &amp; U</title><img src=x alt='A&lt;B' alt=no>", "T & U\nA<B"},
      {"references", "&eacute;&#233;&#xE9;&hellip;&#150;&copy2024 &bogus; &#0;&#x110000;&amp",
       "ééé…–©2024 &bogus; \uFFFD\uFFFD&"},
      {"attribute keeps legacy names", "<img alt='?a=1&copy=2&lt;'>", "?a=1&copy=2<"},
      {"preformatted", "<pre>a\n  b\n\nc</pre>d", "a\nb\nc\nd"},
      {"comment forms", "a<!-->b<!--->c<!-- x --!>d<!DOCTYPE html>e<?xml?>f", "abcdef"},
      {"bare brackets", "1 < 2 <3 </ > 4 </>", "1 < 2 <3 4"},
      {"unterminated comment", "a<!-- b", "a"},
      {"unterminated script", "a<script>b", "a"},
      {"unterminated value", "a<img alt='b>c", "a"},
      {"unterminated tag", "a<p", "a"},
      {"code page, NUL and bad byte", std::string("\x93\xfa\x96\x7b\0\xff", 6), "日本\uFFFD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Text(c.page), c.expected);
  }
}

TEST(PageTextTest, MarkupOnlyChurnGivesTheSameText) {
  const std::string pages[] = {
      "<link href='s.css?v=1'><script nonce=a1>x()</script><form><input type=hidden "
      "name=csrf value=t1><p>Same &#x2252; text</p></form>",
      "<link href='s.css?v=2'><script nonce=b2>y()</script><form><input type=hidden "
      "name=csrf value=t2><p class=new>Same \x87\x90  text</p></form>",
  };
  EXPECT_EQ(Text(pages[0]), "Same \u2252 text");
  EXPECT_EQ(Text(pages[1]), Text(pages[0]));
}

}  // namespace
}  // namespace kivo
