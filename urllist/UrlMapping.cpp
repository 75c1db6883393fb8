#include "urllist/UrlMapping.h"

namespace kivo {
namespace {

constexpr std::u16string_view kHttpPrefix = u"http://";
constexpr std::u16string_view kHttpsPrefix = u"https://";
constexpr std::u16string_view kIndexName = u"index.html";

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) {
    return false;
  }
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiUpper(text[i]) != AsciiUpper(prefix[i])) {
      return false;
    }
  }
  return true;
}

std::u16string_view CutAt(std::u16string_view text, char16_t ch) {
  return text.substr(0, text.find(ch));
}

}  // namespace

WideString ServerOfUrl(std::u16string_view url) {
  std::u16string_view rest = url;
  if (rest.substr(0, kHttpPrefix.size()) == kHttpPrefix) {
    rest.remove_prefix(kHttpPrefix.size());
  } else if (rest.substr(0, kHttpsPrefix.size()) == kHttpsPrefix) {
    rest.remove_prefix(kHttpsPrefix.size());
  }
  // The server ends where the path, the query or the fragment begins, as in SplitUrl.
  return WideString(rest.substr(0, rest.find_first_of(u"/?#")));
}

WideString FileNameOfUrl(std::u16string_view url) {
  const size_t lastSlash = url.rfind(u'/');
  if (lastSlash == std::u16string_view::npos) {
    return WideString(url);
  }
  size_t prefixLength = 0;
  if (StartsWithNoCase(url, kHttpPrefix)) {
    prefixLength = kHttpPrefix.size();
  } else if (StartsWithNoCase(url, kHttpsPrefix)) {
    prefixLength = kHttpsPrefix.size();
  }
  if (prefixLength != 0 && url.find(u'/', prefixLength) == std::u16string_view::npos) {
    return WideString(kIndexName);
  }
  std::u16string_view name = url.substr(lastSlash + 1);
  name = CutAt(name, u'?');
  name = CutAt(name, u';');
  name = CutAt(name, u'#');
  return WideString(name.empty() ? kIndexName : name);
}

WideString FileNameOfPath(std::u16string_view path) {
  return WideString(path.substr(FolderOfPath(path).size()));
}

std::u16string_view FolderOfPath(std::u16string_view path) {
  const size_t lastSlash = path.rfind(u'/');
  return lastSlash == std::u16string_view::npos ? std::u16string_view()
                                                : path.substr(0, lastSlash + 1);
}

}  // namespace kivo
