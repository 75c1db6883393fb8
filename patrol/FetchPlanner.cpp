#include "patrol/FetchPlanner.h"

#include <algorithm>
#include <string>
#include <utility>

namespace kivo {
namespace {

// True when the plan already asks for the page at url: the patrol queues a
// URL once, so a second link to it asks for nothing.
bool Planned(std::u16string_view url, const std::vector<FetchKey>& upcoming) {
  return std::any_of(upcoming.begin(), upcoming.end(), [url](const FetchKey& key) {
    return key.Kind == FetchKind::Page && key.Url == url;
  });
}

}  // namespace

FetchPlanner::FetchPlanner(const PatrolList& list, const FetchedUrlList& fetched,
                           const FetchedFileList& pageFiles, int32_t horizon, KnownLinks knownLinks,
                           Validators validators)
    : list_(list),
      fetched_(fetched),
      pageFiles_(pageFiles),
      horizon_(horizon),
      knownLinks_(std::move(knownLinks)),
      validators_(std::move(validators)) {}

FetchKey FetchPlanner::PageKey(const UrlEntry& entry) {
  return FetchKey{std::u16string(entry.Url.View()),
                  FetchKind::Page,
                  entry.HasLastTime,
                  entry.LastTime,
                  &entry,
                  {}};
}

FetchKey FetchPlanner::ImageKey(std::u16string_view url) {
  return FetchKey{std::u16string(url), FetchKind::Image, 0, SystemTime(), nullptr, {}};
}

FetchKey FetchPlanner::PageRequest(const UrlEntry& entry) const {
  FetchKey key = PageKey(entry);
  if (validators_) {
    key.Validators = validators_(key);
  }
  return key;
}

FetchKey FetchPlanner::ImageRequest(std::u16string_view url) const {
  FetchKey key = ImageKey(url);
  if (validators_) {
    key.Validators = validators_(key);
  }
  return key;
}

std::vector<FetchKey> FetchPlanner::FromEntry(int32_t index) const {
  const UrlEntry& entry = *list_[index];
  const FetchKey key = PageRequest(entry);  // a copy: the plan grows below
  std::vector<FetchKey> upcoming{key};
  AddPage(key, RulesOf(list_, entry), upcoming);
  AddEntriesAfter(index, upcoming);
  return upcoming;
}

std::vector<FetchKey> FetchPlanner::FromImage(int32_t index, const PageLinks& links,
                                              int32_t position) const {
  const UrlEntry& entry = *list_[index];
  std::vector<FetchKey> upcoming{ImageRequest(links.ImageUrls[position]->View())};
  AddLinks(entry.Url.View(), links, RulesOf(list_, entry), position, upcoming);
  AddEntriesAfter(index, upcoming);
  return upcoming;
}

bool FetchPlanner::Full(const std::vector<FetchKey>& upcoming) const {
  return upcoming.size() >= static_cast<size_t>(horizon_);
}

// Adds the requests that the entries after index will make, as far as they
// are known now: each entry's page, except a queued one that will be
// skipped, then what its page is expected to ask for once it has arrived.
void FetchPlanner::AddEntriesAfter(int32_t index, std::vector<FetchKey>& upcoming) const {
  for (int32_t j = index + 1; j < list_.Count() && j <= index + horizon_ * 4 && !Full(upcoming);
       ++j) {
    const UrlEntry& next = *list_[j];
    if (SkipsQueuedEntry(list_, next, pageFiles_)) {
      continue;
    }
    const FetchKey key = PageRequest(next);  // a copy: the plan grows below
    upcoming.push_back(key);
    AddPage(key, RulesOf(list_, next), upcoming);
  }
}

// Adds what the page that `page` fetched ahead will ask for once its turn
// comes, when it has arrived and been read.
void FetchPlanner::AddPage(const FetchKey& page, const PageRules& rules,
                           std::vector<FetchKey>& upcoming) const {
  const PageLinks* links = knownLinks_ ? knownLinks_(page) : nullptr;
  if (links != nullptr) {
    AddLinks(page.Url, *links, rules, -1, upcoming);
  }
}

// Adds the images of links after position `imagesFrom`, then the frames and
// links that the page at pageUrl will queue, each followed by what it asks
// for in turn: the depth-first order in which the patrol will need them.
void FetchPlanner::AddLinks(std::u16string_view pageUrl, const PageLinks& links,
                            const PageRules& rules, int32_t imagesFrom,
                            std::vector<FetchKey>& upcoming) const {
  if (rules.Rules->GetImages != 0) {
    for (int32_t j = imagesFrom + 1; j < links.ImageUrls.Count() && !Full(upcoming); ++j) {
      const WideString* image = links.ImageUrls[j];
      if (image != nullptr && !fetched_.Contains(image->View())) {
        upcoming.push_back(ImageRequest(image->View()));
      }
    }
  }
  VisitChildLinks(
      links, pageUrl, rules, list_, fetched_, [&](std::u16string_view url, const PageRules& child) {
        if (Full(upcoming)) {
          return ChildVisit::Stop;
        }
        if (!Planned(url, upcoming)) {
          const FetchKey key{std::u16string(url), FetchKind::Page, 0, SystemTime(), nullptr, {}};
          upcoming.push_back(key);
          AddPage(key, child, upcoming);
        }
        return ChildVisit::Next;
      });
}

}  // namespace kivo
