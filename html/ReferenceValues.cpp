#include "html/ReferenceValues.h"

#include <optional>

#include "html/CharacterReferences.h"
#include "html/CombineUrl.h"
#include "html/CssEscapes.h"
#include "html/PercentEscape.h"
#include "platform/Utf8.h"
#include "support/AsciiCase.h"

namespace kivo {
namespace {

constexpr bool IsUrlBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

std::u16string_view TrimBlanks(std::u16string_view text) {
  while (!text.empty() && IsUrlBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsUrlBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// A srcset URL ends at a blank and loses commas at either end, so those are
// written percent-encoded; a browser decodes them again when it opens a file.
std::u16string EscapeSrcsetUrl(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool edgeComma = c == u',' && (i == 0 || i + 1 == text.size());
    if (IsUrlBlank(c) || edgeComma) {
      AppendPercentEscape(out, static_cast<unsigned char>(c));
    } else {
      out += c;
    }
  }
  return out;
}

// Writes as "%XX" a lead byte that decodes to no character where a backslash
// follows it: written raw, it would take the backslash as its trail byte and
// undo the CSS escape. A lead byte before an escaped trail byte makes one
// character with it, as the sheet is read, and stays.
std::u16string KeepEscapesWhole(std::u16string_view text,
                                const platform::LeadByteTable& leadBytes) {
  // The raw byte of the escaped byte at `i`, or nothing for any other unit.
  const auto byteAt = [text](size_t i) -> std::optional<unsigned char> {
    if (!platform::IsEscapedByteAt(text, i)) {
      return std::nullopt;
    }
    return static_cast<unsigned char>(text[i] - platform::kEscapedByteBase);
  };
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const std::optional<unsigned char> byte = byteAt(i);
    const bool lead = byte && leadBytes.Lead[*byte] && i + 1 < text.size();
    if (const std::optional<unsigned char> next = lead ? byteAt(i + 1) : std::nullopt;
        next && leadBytes.Trail[*next]) {
      out += text.substr(i, 2);  // a pair, as the sheet is read
      ++i;
    } else if (lead && text[i + 1] == u'\\') {
      AppendPercentEscape(out, *byte);
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::u16string ReferenceText(std::string_view raw, const ValueSyntax& syntax,
                             const platform::CodePage& ansi) {
  std::u16string text = ansi.Decode(raw);
  if (syntax.InAttribute) {
    text = DecodeCharacterReferences(text);
  }
  if (syntax.InCss) {
    text = UnescapeCss(text);
  }
  return text;
}

std::string WriteReferenceText(std::u16string_view text, const ValueSyntax& syntax,
                               const platform::CodePage& ansi) {
  std::u16string out(text);
  if (syntax.InCss) {
    out = KeepEscapesWhole(EscapeCss(out, syntax.CssQuote), ansi.LeadBytes());
  }
  if (syntax.InSrcset) {
    out = EscapeSrcsetUrl(out);
  }
  if (syntax.InAttribute) {
    out = EscapeAttributeValue(out, syntax.AttributeQuote);
  }
  return ansi.Encode(out);
}

std::optional<ResolvedReference> ResolveReference(std::u16string_view base,
                                                  std::u16string_view text,
                                                  const ValueSyntax& syntax) {
  text = TrimBlanks(text);
  if (text.empty() || (text.size() >= 5 && EqualsNoCase(text.substr(0, 5), u"data:")) ||
      (syntax.InCss && text.front() == u'#')) {
    return std::nullopt;
  }
  std::optional<WideString> url = CombineUrl(base, text);
  if (!url.has_value()) {
    return std::nullopt;
  }
  const std::u16string_view whole = url->View();
  const size_t hash = whole.find(u'#');
  if (hash == std::u16string_view::npos) {
    return ResolvedReference{std::move(*url), {}};
  }
  return ResolvedReference{WideString(whole.substr(0, hash)), std::u16string(whole.substr(hash))};
}

std::optional<LinkEdit> ReferenceEdit(std::string_view raw, size_t offset,
                                      const ValueSyntax& syntax, RewriteRule rule,
                                      std::u16string_view base, const RewriteTargets& targets) {
  const std::optional<ResolvedReference> resolved =
      ResolveReference(base, ReferenceText(raw, syntax, targets.Ansi), syntax);
  if (!resolved.has_value()) {
    return std::nullopt;
  }
  const std::u16string_view url = resolved->Url.View();
  std::u16string replacement;
  const FetchedFile* stored =
      rule == RewriteRule::Image ? targets.ImageFiles.Find(url) : targets.PageFiles.Find(url);
  if (stored != nullptr) {
    replacement = LocalNameFor(*stored, targets.PageFolder) + resolved->Fragment;
  } else if (rule == RewriteRule::Image) {
    replacement = targets.Ansi.Decode(targets.PlaceholderPath);
  } else {
    replacement = std::u16string(url) + resolved->Fragment;
  }
  std::string written = WriteReferenceText(replacement, syntax, targets.Ansi);
  if (written == raw) {
    return std::nullopt;
  }
  return LinkEdit{offset, raw.size(), std::move(written)};
}

}  // namespace kivo
