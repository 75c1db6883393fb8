#include "html/FetchedFileList.h"

#include <utility>

namespace kivo {

const FetchedFile* FetchedFileList::Add(std::unique_ptr<FetchedFile> file) {
  if (file == nullptr) {
    return nullptr;
  }
  // Doubling the slots when they run out keeps a patrol of many files from
  // copying the whole array every 8 records.
  if (files_.Count() == files_.Array().Allocated()) {
    files_.Reserve(files_.Count() * 2);
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
