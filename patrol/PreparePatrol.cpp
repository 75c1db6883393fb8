#include "patrol/PreparePatrol.h"

#include "platform/PlaceholderImage.h"

namespace kivo {

void PreparePatrol(UrlList& list, PatrolScope scope, std::span<const int32_t> rows,
                   PatrolList& patrolList) {
  for (int32_t row = 0; row < list.Count(); ++row) {
    list[row]->ListIndex = row;
  }
  if (scope == PatrolScope::All) {
    for (UrlEntry* entry : list) {
      patrolList.Add(entry);
    }
  } else {
    for (int32_t row : rows) {
      if (row >= 0 && row < list.Count()) {
        patrolList.Add(list[row]);
      }
    }
  }
  platform::InstallPlaceholderImage();
}

}  // namespace kivo
