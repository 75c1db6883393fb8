#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "html/FetchedFile.h"
#include "support/OwnedPtrArray.h"

namespace kivo {

// The files of one patrol in the order they were stored, with a hash index
// on their URLs so that a lookup costs the same for ten records or a million.
//
// Records are immutable once added; the list hands out const pointers only,
// which keeps the index's keys (views of the records' URLs) valid.
class FetchedFileList {
 public:
  FetchedFileList() = default;
  FetchedFileList(const FetchedFileList&) = delete;
  FetchedFileList& operator=(const FetchedFileList&) = delete;
  ~FetchedFileList() = default;

  // Appends `file` and takes ownership of it; returns the stored record, or
  // nullptr (and stores nothing) when `file` is null.
  const FetchedFile* Add(std::unique_ptr<FetchedFile> file);
  // Returns the first record in array order whose Url equals `url` exactly, or nullptr.
  const FetchedFile* Find(std::u16string_view url) const;
  // Returns the number of records.
  int32_t Count() const { return files_.Count(); }
  // Returns record i (0 <= i < Count()).
  const FetchedFile* operator[](int32_t i) const { return files_[i]; }
  // Destroys every record and empties the index.
  void Clear();

 private:
  OwnedPtrArray<FetchedFile> files_;
  // URL -> first record with that URL. Later duplicates are never entered.
  std::unordered_map<std::u16string_view, const FetchedFile*> firstByUrl_;
};

}  // namespace kivo
