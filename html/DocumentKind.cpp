#include "html/DocumentKind.h"

#include "support/AsciiCase.h"
#include "urllist/UrlMapping.h"

namespace kivo {
namespace {

// The media type of a Content-Type value: before any ";", without blanks.
std::string_view MediaType(std::string_view contentType) {
  contentType = contentType.substr(0, contentType.find(';'));
  const size_t first = contentType.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return {};
  }
  const size_t last = contentType.find_last_not_of(" \t");
  return contentType.substr(first, last - first + 1);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

DocumentKind KindOfDocument(std::string_view contentType, std::u16string_view url) {
  const std::string_view type = MediaType(contentType);
  if (EqualsNoCase(type, "text/css")) {
    return DocumentKind::StyleSheet;
  }
  if (StartsWithNoCase(type, "audio/") || StartsWithNoCase(type, "video/") ||
      EqualsNoCase(type, "application/pdf")) {
    return DocumentKind::Media;
  }
  if (EqualsNoCase(type, "text/html") || EqualsNoCase(type, "application/xhtml+xml")) {
    return DocumentKind::Page;
  }
  const WideString name = FileNameOfUrl(url);
  const std::u16string_view view = name.View();
  return view.size() >= 4 && EqualsNoCase(view.substr(view.size() - 4), u".css")
             ? DocumentKind::StyleSheet
             : DocumentKind::Page;
}

}  // namespace kivo
