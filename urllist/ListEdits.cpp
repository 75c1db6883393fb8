#include "urllist/ListEdits.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace kivo {

int32_t DeleteRows(UrlList& list, std::span<const int32_t> rows, const RemoveRow& remove) {
  std::vector<int32_t> sorted;
  for (int32_t row : rows) {
    if (row >= 0 && row < list.Count()) {
      sorted.push_back(row);
    }
  }
  if (sorted.empty()) {
    return -1;
  }
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  for (auto row = sorted.rbegin(); row != sorted.rend(); ++row) {
    if (remove) {
      remove(*row);
    } else {
      list.TakeAt(*row);
    }
  }
  if (list.Count() == 0) {
    return -1;
  }
  return std::min(sorted.front(), list.Count() - 1);
}

int32_t ResetUpdateTimes(UrlList& list, std::span<const int32_t> rows) {
  int32_t changed = 0;
  for (int32_t row : rows) {
    if (row >= 0 && row < list.Count()) {
      list[row]->HasLastTime = 0;
      ++changed;
    }
  }
  return changed;
}

std::u16string LastTimeText(const UrlEntry& entry) {
  if (entry.HasLastTime == 0) {
    return u"----/--/-- --:--";
  }
  const SystemTime& time = entry.LastTime;
  // Each field is at most five digits, so the text always fits.
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d", time.Year,
                                   time.Month, time.Day, time.Hour, time.Minute);
  return std::u16string(text, text + std::max(length, 0));
}

}  // namespace kivo
