#include "patrol/SplitUrl.h"

#include <algorithm>
#include <string>

#include "support/Limits.h"

namespace kivo {
namespace {

constexpr std::u16string_view kHttpPrefix = u"http://";
constexpr std::u16string_view kHttpsPrefix = u"https://";

}  // namespace

SplitUrlResult SplitUrl(std::u16string_view url, WideString& host, WideString& path) {
  SplitUrlResult result;
  std::u16string_view rest = url;
  if (rest.substr(0, kHttpPrefix.size()) == kHttpPrefix) {
    rest.remove_prefix(kHttpPrefix.size());
    result.Scheme = UrlScheme::Http;
  } else if (rest.substr(0, kHttpsPrefix.size()) == kHttpsPrefix) {
    rest.remove_prefix(kHttpsPrefix.size());
    result.Scheme = UrlScheme::Https;
  }
  // The host ends where the path, the query or the fragment begins: "http://host?id=3" asks
  // for "/?id=3" on "host".
  const size_t hostEnd = std::min(rest.find_first_of(u"/?#"), rest.size());
  const std::u16string_view hostText = rest.substr(0, hostEnd);
  std::u16string pathText(rest.substr(hostEnd));
  if (!pathText.starts_with(u'/')) {
    pathText.insert(0, 1, u'/');
  }
  result.Truncated = hostText.size() > static_cast<size_t>(kMaxHostLength) ||
                     pathText.size() > static_cast<size_t>(kMaxPathLength);
  host.Assign(hostText.substr(0, kMaxHostLength));
  path.Assign(std::u16string_view(pathText).substr(0, kMaxPathLength));
  return result;
}

}  // namespace kivo
