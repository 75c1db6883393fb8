#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "html/FetchedFileList.h"
#include "html/PageLinks.h"
#include "patrol/ChildLinks.h"
#include "patrol/FetchAhead.h"
#include "patrol/FetchedUrlList.h"
#include "patrol/PatrolList.h"

namespace kivo {

// Predicts the requests a patrol will make next, in the order it will make
// them, so that they can be fetched ahead. It reads the patrol's state (the
// list with its queued entries, the URLs fetched and the pages stored so far)
// but never changes it, and learns the links of a page fetched ahead from
// `knownLinks`, which gives null while they are not known. A guess that
// turns out wrong costs one request, never a different result.
class FetchPlanner {
 public:
  // The links of the page that `page` fetched ahead, or null.
  using KnownLinks = std::function<const PageLinks*(const FetchKey& page)>;
  // The validators that the request `key` for a user entry's page or an
  // image carries; the same key must always give the same validators.
  using Validators = std::function<platform::HttpValidators(const FetchKey& key)>;

  // Plans at most `horizon` requests at a time. All references outlive it.
  // Without `validators`, every request is made without any.
  FetchPlanner(const PatrolList& list, const FetchedUrlList& fetched,
               const FetchedFileList& pageFiles, int32_t horizon, KnownLinks knownLinks,
               Validators validators = nullptr);

  // Returns the request for the page of the entry at `index`, then what
  // that page and the entries after it are expected to ask for.
  std::vector<FetchKey> FromEntry(int32_t index) const;
  // Returns the request for image `position` of `links` (the read links of
  // the page of the entry at `index`), then the page's later images, the
  // frames and links it will queue, and what the entries after it ask for.
  std::vector<FetchKey> FromImage(int32_t index, const PageLinks& links, int32_t position) const;

  // Returns the request for entry's page, tested against its Last-Modified time.
  static FetchKey PageKey(const UrlEntry& entry);
  // Returns the request for an image, made whatever its time.
  static FetchKey ImageKey(std::u16string_view url);
  // Return the same requests with the validators that the patrol sends.
  FetchKey PageRequest(const UrlEntry& entry) const;
  FetchKey ImageRequest(std::u16string_view url) const;

 private:
  bool Full(const std::vector<FetchKey>& upcoming) const;
  void AddEntriesAfter(int32_t index, std::vector<FetchKey>& upcoming) const;
  void AddPage(const FetchKey& page, const PageRules& rules, std::vector<FetchKey>& upcoming) const;
  void AddLinks(std::u16string_view pageUrl, const PageLinks& links, const PageRules& rules,
                int32_t imagesFrom, std::vector<FetchKey>& upcoming) const;

  const PatrolList& list_;
  const FetchedUrlList& fetched_;
  const FetchedFileList& pageFiles_;
  const int32_t horizon_;
  KnownLinks knownLinks_;
  Validators validators_;
};

}  // namespace kivo
