#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "support/WideString.h"

namespace kivo {

// The URLs fetched successfully in one patrol, pages and images alike, in
// fetch order. A hash set of views into the stored strings sits beside the
// ordered array, so that the membership test stays O(1) however many files a
// patrol fetches.
class FetchedUrlList {
 public:
  FetchedUrlList() = default;
  FetchedUrlList(const FetchedUrlList&) = delete;
  FetchedUrlList& operator=(const FetchedUrlList&) = delete;

  // Appends a copy of url (also when it is already present).
  void Add(std::u16string_view url);
  // True when some element equals url exactly (case-sensitive).
  bool Contains(std::u16string_view url) const;
  int32_t Count() const { return static_cast<int32_t>(urls_.size()); }
  const WideString& operator[](int32_t index) const { return *urls_[index]; }
  // Frees every element.
  void Clear();

 private:
  // Each string lives on the heap and is never changed, so the views in
  // index_ stay valid until Clear.
  std::vector<std::unique_ptr<WideString>> urls_;
  std::unordered_set<std::u16string_view> index_;
};

}  // namespace kivo
