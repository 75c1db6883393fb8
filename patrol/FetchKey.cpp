#include "patrol/FetchKey.h"

#include <algorithm>
#include <cstring>

namespace kivo {

bool SameUrl(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && std::equal(a.rbegin(), a.rend(), b.rbegin());
}

bool Serves(const FetchKey& have, const FetchKey& want) {
  const bool sameEntry = have.Entry == want.Entry || have.Entry == nullptr || want.Entry == nullptr;
  return have.Kind == want.Kind && sameEntry && have.HasTime == want.HasTime &&
         std::memcmp(&have.LastTime, &want.LastTime, sizeof have.LastTime) == 0 &&
         SameUrl(have.Url, want.Url) && have.Validators == want.Validators;
}

}  // namespace kivo
