#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
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
// but never changes it, and learns what a download fetched ahead brought (a
// page's links, a redirect's target) from `known`. Each request is tested as
// the patrol will test it when its turn comes: an image is planned once
// however many pages show it, and a frame or link is left out when an image,
// page or redirect target planned before it will have fetched its URL by
// then. A guess that turns out wrong costs one request, never a different
// result.
class FetchPlanner {
 public:
  // What the download fetched ahead for a request has brought so far.
  using Known = std::function<AheadAnswer(const FetchKey& key)>;
  // The validators that the request `key` for a user entry's page or an
  // image carries; the same key must always give the same validators.
  using Validators = std::function<platform::HttpValidators(const FetchKey& key)>;

  // Plans at most `horizon` requests at a time. All references outlive it.
  // Without `validators`, every request is made without any.
  FetchPlanner(const PatrolList& list, const FetchedUrlList& fetched,
               const FetchedFileList& pageFiles, int32_t horizon, Known known,
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
  // The requests planned so far, and the URLs they will have fetched by the time the next
  // planned request is made, if they succeed. The lists view the keys' URLs, which never move
  // (Keys has room for the whole plan), and the redirect targets kept beside them; a plan is
  // short, so a search from the end of each URL is cheaper than hashing them.
  struct Plan {
    explicit Plan(int32_t horizon) { Keys.reserve(static_cast<size_t>(horizon) + 1); }
    std::vector<FetchKey> Keys;
    std::deque<std::u16string> RedirectedUrls;
    std::vector<std::u16string_view> Fetched;  // as pages or images
    std::vector<std::u16string_view> Pages;    // as pages: a queued entry of one is skipped
    const UrlEntry* Root = nullptr;            // the entry whose requests are being added
  };

  bool Full(const Plan& plan) const;
  // Returns the known links of the page, when it has been read.
  const PageLinks* Add(const FetchKey& key, Plan& plan) const;
  void AddEntriesAfter(int32_t index, Plan& plan) const;
  void AddPage(const FetchKey& page, const PageRules& rules, Plan& plan) const;
  void AddLinks(std::u16string_view pageUrl, const PageLinks& links, const PageRules& rules,
                int32_t imagesFrom, Plan& plan) const;

  const PatrolList& list_;
  const FetchedUrlList& fetched_;
  const FetchedFileList& pageFiles_;
  const int32_t horizon_;
  Known known_;
  Validators validators_;
};

}  // namespace kivo
