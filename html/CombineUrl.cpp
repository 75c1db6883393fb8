#include "html/CombineUrl.h"

#include <algorithm>
#include <string>

#include "support/AsciiCase.h"

namespace kivo {
namespace {

constexpr size_t kNone = std::u16string_view::npos;

// The five components of a URI reference. An absent component is distinct
// from an empty one: "http://h/p?" has an empty query, "http://h/p" none.
struct ReferenceParts {
  std::optional<std::u16string_view> Scheme;
  std::optional<std::u16string_view> Authority;
  std::u16string_view Path;
  std::optional<std::u16string_view> Query;
  std::optional<std::u16string_view> Fragment;
};

constexpr bool IsAsciiLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

constexpr bool IsSchemeChar(char16_t c) {
  return IsAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
}

// Returns the length of the scheme at the start of `text` (without its
// colon), or 0 when `text` does not begin with one.
size_t SchemeLength(std::u16string_view text) {
  if (text.empty() || !IsAsciiLetter(text[0])) {
    return 0;
  }
  size_t i = 1;
  while (i < text.size() && IsSchemeChar(text[i])) {
    ++i;
  }
  return (i < text.size() && text[i] == u':') ? i : 0;
}

// Returns the first position at or after `from` that holds one of the
// delimiters `a`, `b` or `c`, or text.size(). A plain loop: the generic
// find_first_of compares every character with every delimiter in turn.
size_t FindDelimiter(std::u16string_view text, size_t from, char16_t a, char16_t b, char16_t c) {
  for (size_t i = from; i < text.size(); ++i) {
    const char16_t ch = text[i];
    if (ch == a || ch == b || ch == c) {
      return i;
    }
  }
  return text.size();
}

// Splits a reference into its components (RFC 3986, appendix B, with the
// scheme restricted to its grammar so that "1:x" stays a relative path).
ReferenceParts SplitReference(std::u16string_view text) {
  ReferenceParts parts;
  size_t i = 0;
  if (const size_t schemeLength = SchemeLength(text); schemeLength > 0) {
    parts.Scheme = text.substr(0, schemeLength);
    i = schemeLength + 1;
  }
  if (text.substr(i).starts_with(u"//")) {
    const size_t end = FindDelimiter(text, i + 2, u'/', u'?', u'#');
    parts.Authority = text.substr(i + 2, end - (i + 2));
    i = end;
  }
  const size_t pathEnd = FindDelimiter(text, i, u'?', u'#', u'#');
  parts.Path = text.substr(i, pathEnd - i);
  i = pathEnd;
  if (i < text.size() && text[i] == u'?') {
    const size_t end = std::min(text.find(u'#', i + 1), text.size());
    parts.Query = text.substr(i + 1, end - (i + 1));
    i = end;
  }
  if (i < text.size() && text[i] == u'#') {
    parts.Fragment = text.substr(i + 1);
  }
  return parts;
}

// True when some segment of `path` is "." or "..".
bool HasDotSegment(std::u16string_view path) {
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = std::min(path.find(u'/', start), path.size());
    const std::u16string_view segment = path.substr(start, end - start);
    if (segment == u"." || segment == u"..") {
      return true;
    }
    start = end + 1;
  }
  return false;
}

// Resolves "." and ".." segments (RFC 3986, section 5.2.4) of the path that
// starts at `from` in `text`, in place: the output never outgrows the input.
void RemoveDotSegments(std::u16string& text, size_t from) {
  std::u16string_view input = std::u16string_view(text).substr(from);
  if (!HasDotSegment(input)) {
    return;  // the common case: nothing to resolve
  }
  // The input is copied because it is read while the output overwrites the
  // same characters.
  const std::u16string source(input);
  input = source;
  size_t out = from;
  const auto dropLastSegment = [&text, from, &out] {
    const size_t slash = std::u16string_view(text.data() + from, out - from).rfind(u'/');
    out = slash == kNone ? from : from + slash;
  };
  while (!input.empty()) {
    if (input.starts_with(u"../")) {
      input.remove_prefix(3);
    } else if (input.starts_with(u"./")) {
      input.remove_prefix(2);
    } else if (input.starts_with(u"/./")) {
      input.remove_prefix(2);  // leaves the second "/" as the new start
    } else if (input == u"/.") {
      input = u"/";
    } else if (input.starts_with(u"/../")) {
      input.remove_prefix(3);
      dropLastSegment();
    } else if (input == u"/..") {
      input = u"/";
      dropLastSegment();
    } else if (input == u"." || input == u"..") {
      input = {};
    } else {
      // Move the first segment, with its leading "/" if any, to the output.
      const size_t end = std::min(input.find(u'/', 1), input.size());
      text.replace(out, end, input.substr(0, end));
      out += end;
      input.remove_prefix(end);
    }
  }
  text.resize(out);
}

// Appends the merge of a relative path with the base's path (RFC 3986,
// section 5.2.3) to `out`.
void AppendMergedPath(const ReferenceParts& base, std::u16string_view relativePath,
                      std::u16string& out) {
  if (base.Authority.has_value() && base.Path.empty()) {
    out.push_back(u'/');
  } else if (const size_t slash = base.Path.rfind(u'/'); slash != kNone) {
    out.append(base.Path.substr(0, slash + 1));
  }
  out.append(relativePath);
}

bool IsHttpScheme(std::optional<std::u16string_view> scheme) {
  return scheme.has_value() && (EqualsNoCase(*scheme, u"http") || EqualsNoCase(*scheme, u"https"));
}

std::optional<WideString> Bounded(std::u16string_view url) {
  if (url.size() > static_cast<size_t>(kMaxUrlLength)) {
    return std::nullopt;
  }
  return WideString(url);
}

}  // namespace

std::optional<WideString> CombineUrl(std::u16string_view base, std::u16string_view relative) {
  // A fragment after the last "/" belongs to the base document; a "#" inside
  // the path (before a later "/") is left alone.
  const size_t lastHash = base.rfind(u'#');
  const size_t lastSlash = base.rfind(u'/');
  if (lastHash != kNone && (lastSlash == kNone || lastHash > lastSlash)) {
    base = base.substr(0, lastHash);
  }

  const ReferenceParts reference = SplitReference(relative);
  if (reference.Scheme.has_value()) {
    return Bounded(relative);
  }
  const ReferenceParts baseParts = SplitReference(base);

  // Recomposition (RFC 3986, section 5.3), with the target's path resolved
  // in place right where it stands in the result.
  std::u16string result;
  result.reserve(base.size() + relative.size() + 4);
  if (baseParts.Scheme.has_value()) {
    result.append(*baseParts.Scheme).push_back(u':');
  }
  const std::optional<std::u16string_view> authority =
      reference.Authority.has_value() ? reference.Authority : baseParts.Authority;
  if (authority.has_value()) {
    result.append(u"//").append(*authority);
  }
  const size_t pathStart = result.size();
  std::optional<std::u16string_view> query = reference.Query;
  if (reference.Authority.has_value() || reference.Path.starts_with(u'/')) {
    result.append(reference.Path);
    RemoveDotSegments(result, pathStart);
  } else if (reference.Path.empty()) {
    result.append(baseParts.Path);
    if (!query.has_value()) {
      query = baseParts.Query;
    }
  } else {
    AppendMergedPath(baseParts, reference.Path, result);
    RemoveDotSegments(result, pathStart);
  }
  // An http(s) URL with an authority names its root "/". Without it, "?page=2" on the page
  // "http://host" would glue the query to the host name. A reference without a query of its
  // own leaves the path as the RFC has it, so "" and "#top" on a page stay that page's URL.
  if (result.size() == pathStart && authority.has_value() && reference.Query.has_value() &&
      IsHttpScheme(baseParts.Scheme)) {
    result.push_back(u'/');
  }
  if (query.has_value()) {
    result.append(u"?").append(*query);
  }
  if (reference.Fragment.has_value()) {
    result.append(u"#").append(*reference.Fragment);
  }
  return Bounded(result);
}

}  // namespace kivo
