#include "patrol/FetchedUrlList.h"

namespace kivo {

void FetchedUrlList::Add(std::u16string_view url) {
  urls_.push_back(std::make_unique<WideString>(url));
  index_.insert(urls_.back()->View());
}

bool FetchedUrlList::Contains(std::u16string_view url) const {
  return index_.find(url) != index_.end();
}

void FetchedUrlList::Clear() {
  index_.clear();
  urls_.clear();
}

}  // namespace kivo
