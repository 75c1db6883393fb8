#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "html/PageLinks.h"
#include "support/IndexedList.h"
#include "support/OwnedPtrArray.h"
#include "support/WideString.h"

namespace kivo {

// Collects the URLs of one list of PageLinks in the order they first occur,
// skipping those it already holds, up to kMaxUrlsPerList. The list itself
// grows only 8 slots at a time, so it receives all URLs at once at the end.
class UniqueUrlList {
 public:
  explicit UniqueUrlList(OwnedPtrArray<WideString>& list) : list_(list) {}
  UniqueUrlList(const UniqueUrlList&) = delete;
  UniqueUrlList& operator=(const UniqueUrlList&) = delete;
  ~UniqueUrlList() {
    std::vector<std::unique_ptr<WideString>> urls = urls_.TakeAll();
    list_.Reserve(list_.Count() + static_cast<int32_t>(urls.size()));
    for (std::unique_ptr<WideString>& url : urls) {
      list_.Add(std::move(url));
    }
  }

  // Adds `url` unless the list holds it already.
  void Add(WideString url) { urls_.AddUnique(std::move(url)); }
  // True once the list holds all the URLs it may.
  bool IsFull() const { return urls_.Count() >= kMaxUrlsPerList; }

 private:
  OwnedPtrArray<WideString>& list_;
  IndexedList<WideString> urls_;
};

}  // namespace kivo
