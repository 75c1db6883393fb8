#include "changes/ChangeNotice.h"

#include <unordered_set>

#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo {
namespace {

std::u16string TitleOf(const UrlEntry& entry) {
  std::u16string title(entry.Name.IsEmpty() ? entry.Url.View() : entry.Name.View());
  if (title.size() > kNoticeTitleUnits) {
    // Never leave half of a surrogate pair at the cut.
    size_t cut = kNoticeTitleUnits - 1;
    if (title[cut - 1] >= 0xD800 && title[cut - 1] <= 0xDBFF) {
      --cut;
    }
    title.resize(cut);
    title += u'…';
  }
  return title;
}

}  // namespace

ChangeNotice MakeChangeNotice(const std::vector<const UrlEntry*>& updated) {
  ChangeNotice notice;
  std::unordered_set<const UrlEntry*> seen;
  for (const UrlEntry* entry : updated) {
    if (entry == nullptr || !seen.insert(entry).second) {
      continue;
    }
    if (notice.Count == 0) {
      notice.Url = std::u16string(entry->Url.View());
    }
    ++notice.Count;
    if (notice.Titles.size() < kNoticeTitles) {
      notice.Titles.push_back(TitleOf(*entry));
    } else {
      ++notice.Others;
    }
  }
  return notice;
}

bool NoticesWanted() {
  RegKey key;
  key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath);
  const bool wanted = ReadDwordSetting(key, Setting::Notify) != 0;
  key.Close();
  return wanted;
}

}  // namespace kivo
