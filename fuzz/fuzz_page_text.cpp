// Feeds arbitrary bytes to the visible-text reader as two versions of a page
// and checks the promises of the text and of the diff between them: folded
// lines without controls or broken surrogates, a diff that rebuilds the new
// text from the old one, word runs inside their lines, and a plain unified
// diff without escape sequences.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "html/PageText.h"
#include "html/TextDiff.h"
#include "html/UnifiedDiff.h"
#include "platform/CodePage.h"

namespace {

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

void CheckText(std::u16string_view text) {
  Check(text.empty() || (text.front() != u' ' && text.front() != u'\n'));
  Check(text.empty() || (text.back() != u' ' && text.back() != u'\n'));
  for (std::u16string_view bad : {u"\n\n", u"  ", u" \n", u"\n "}) {
    Check(text.find(bad) == std::u16string_view::npos);
  }
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    Check(u == u'\n' || u >= 0x20);
    if (u >= 0xD800 && u <= 0xDBFF) {
      Check(i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF);
      ++i;
    } else {
      Check(u < 0xDC00 || u > 0xDFFF);
    }
  }
}

std::vector<std::u16string_view> Lines(std::u16string_view text) {
  std::vector<std::u16string_view> lines;
  while (!text.empty()) {
    const size_t end = std::min(text.find(u'\n'), text.size());
    lines.push_back(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return lines;
}

// Applies the hunks to the old text's lines and checks that they give the new text.
void CheckRebuilds(const kivo::TextDiff& diff, std::u16string_view before,
                   std::u16string_view after) {
  const std::vector<std::u16string_view> old = Lines(before);
  std::vector<std::u16string_view> rebuilt;
  size_t at = 0;
  for (const kivo::DiffHunk& hunk : diff.Hunks) {
    Check(hunk.OldStart >= at && hunk.OldStart <= old.size());
    rebuilt.insert(rebuilt.end(), old.begin() + at, old.begin() + hunk.OldStart);
    at = hunk.OldStart;
    for (const kivo::DiffLine& line : hunk.Lines) {
      size_t end = 0;
      for (const kivo::DiffSpan& span : line.Changed) {
        Check(span.Length > 0 && span.Begin >= end && span.Begin + span.Length <= line.Text.size());
        end = span.Begin + span.Length;
      }
      if (line.Kind != kivo::DiffLineKind::Added) {
        Check(at < old.size() && old[at] == line.Text);
        ++at;
      }
      if (line.Kind != kivo::DiffLineKind::Removed) {
        rebuilt.push_back(line.Text);
      }
    }
  }
  rebuilt.insert(rebuilt.end(), old.begin() + at, old.end());
  Check(rebuilt == Lines(after));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const kivo::platform::CodePage cp932("CP932");
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (size == 0) {
    return 0;
  }
  // The first byte splits the rest into the old and the new version.
  const size_t split = 1 + (data[0] * (size - 1)) / 255;
  const std::u16string before = kivo::ExtractPageText(input.substr(1, split - 1), cp932);
  const std::u16string after = kivo::ExtractPageText(input.substr(split), cp932);
  CheckText(before);
  CheckText(after);
  Check(kivo::ExtractPageText(input.substr(split), cp932) == after);

  kivo::DiffLimits limits;
  limits.LineWork = 1 << 16;
  limits.WordWork = 1 << 14;
  const kivo::TextDiff diff = kivo::DiffTexts(before, after, limits);
  Check((diff.Status == kivo::TextDiffStatus::Identical) == (before == after));
  Check(diff.Hunks.empty() == (diff.Status == kivo::TextDiffStatus::Identical ||
                               diff.Status == kivo::TextDiffStatus::TooDifferent));
  if (!diff.Hunks.empty()) {
    CheckRebuilds(diff, before, after);
  }
  const std::string plain = kivo::FormatUnifiedDiff(diff, "a", "b", kivo::DiffColour::Plain);
  Check(plain.find('\x1b') == std::string::npos);
  kivo::FormatUnifiedDiff(diff, "a", "b", kivo::DiffColour::Terminal);
  return 0;
}
