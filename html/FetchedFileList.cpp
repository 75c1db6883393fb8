#include "html/FetchedFileList.h"

#include <utility>

namespace kivo {

const FetchedFile* FetchedFileList::Add(std::unique_ptr<FetchedFile> file) {
  if (file == nullptr) {
    return nullptr;
  }
  const FetchedFile* stored = files_.Add(std::move(file));
  // emplace keeps an existing entry, so the earliest record of a URL wins.
  firstByUrl_.emplace(stored->Url.View(), stored);
  return stored;
}

const FetchedFile* FetchedFileList::Find(std::u16string_view url) const {
  const auto found = firstByUrl_.find(url);
  return found == firstByUrl_.end() ? nullptr : found->second;
}

void FetchedFileList::Clear() {
  // The index points into the records, so it goes first.
  firstByUrl_.clear();
  files_.Clear();
}

}  // namespace kivo
