#include "patrol/FetchPlanner.h"

#include <algorithm>
#include <string>
#include <utility>

namespace kivo {
namespace {

bool Holds(const std::vector<std::u16string_view>& urls, std::u16string_view url) {
  return std::any_of(urls.begin(), urls.end(),
                     [url](std::u16string_view planned) { return SameUrl(planned, url); });
}

}  // namespace

FetchPlanner::FetchPlanner(const PatrolList& list, const FetchedUrlList& fetched,
                           const FetchedFileList& pageFiles, int32_t horizon, Known known,
                           Validators validators)
    : list_(list),
      fetched_(fetched),
      pageFiles_(pageFiles),
      horizon_(horizon),
      known_(std::move(known)),
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
  Plan plan(horizon_);
  plan.Root = &entry;
  AddPage(PageRequest(entry), RulesOf(list_, entry), plan);
  AddEntriesAfter(index, plan);
  return std::move(plan.Keys);
}

std::vector<FetchKey> FetchPlanner::FromImage(int32_t index, const PageLinks& links,
                                              int32_t position) const {
  const UrlEntry& entry = *list_[index];
  Plan plan(horizon_);
  plan.Root = &entry;
  Add(ImageRequest(links.ImageUrls[position]->View()), plan);
  AddLinks(entry.Url.View(), links, RulesOf(list_, entry), position, plan);
  AddEntriesAfter(index, plan);
  return std::move(plan.Keys);
}

bool FetchPlanner::Full(const Plan& plan) const {
  return plan.Keys.size() >= static_cast<size_t>(horizon_);
}

// Appends a request and notes what it will have fetched: its URL, and the URL a redirect led
// it to, which the patrol counts as fetched too.
const PageLinks* FetchPlanner::Add(const FetchKey& key, Plan& plan) const {
  if (plan.Keys.size() == plan.Keys.capacity()) {
    return nullptr;  // the sets' views would move with the keys
  }
  AheadAnswer known = known_ ? known_(key) : AheadAnswer{};
  plan.Keys.push_back(key);
  plan.Keys.back().Root = plan.Root;
  std::u16string_view urls[] = {plan.Keys.back().Url, {}};
  if (!known.RedirectedUrl.empty()) {
    urls[1] = plan.RedirectedUrls.emplace_back(std::move(known.RedirectedUrl));
  }
  for (const std::u16string_view url : urls) {
    if (!url.empty()) {
      plan.Fetched.push_back(url);
      if (key.Kind == FetchKind::Page) {
        plan.Pages.push_back(url);
      }
    }
  }
  return known.Links;
}

// Adds the requests that the entries after index will make, as far as they
// are known now: each entry's page, except a queued one that will be
// skipped, then what its page is expected to ask for once it has arrived.
void FetchPlanner::AddEntriesAfter(int32_t index, Plan& plan) const {
  for (int32_t j = index + 1; j < list_.Count() && j <= index + horizon_ * 4 && !Full(plan); ++j) {
    const UrlEntry& next = *list_[j];
    if (SkipsQueuedEntry(list_, next, pageFiles_) ||
        (list_.IsTemporary(&next) && Holds(plan.Pages, next.Url.View()))) {
      continue;
    }
    plan.Root = &next;
    AddPage(PageRequest(next), RulesOf(list_, next), plan);
  }
}

// Adds a page's request, then what it will ask for once its turn comes, when it has arrived
// and been read.
void FetchPlanner::AddPage(const FetchKey& page, const PageRules& rules, Plan& plan) const {
  const PageLinks* links = Add(page, plan);
  if (links != nullptr) {
    AddLinks(page.Url, *links, rules, -1, plan);
  }
}

// Adds the images of links after position `imagesFrom`, then the frames and
// links that the page at pageUrl will queue, each followed by what it asks
// for in turn: the depth-first order in which the patrol will need them.
void FetchPlanner::AddLinks(std::u16string_view pageUrl, const PageLinks& links,
                            const PageRules& rules, int32_t imagesFrom, Plan& plan) const {
  if (rules.Rules->GetImages != 0) {
    for (int32_t j = imagesFrom + 1; j < links.ImageUrls.Count() && !Full(plan); ++j) {
      const WideString* image = links.ImageUrls[j];
      if (image != nullptr && !fetched_.Contains(image->View()) &&
          !Holds(plan.Fetched, image->View())) {
        Add(ImageRequest(image->View()), plan);
      }
    }
  }
  // The patrol queues a page's frames and links after its images: a URL fetched by then, or
  // queued by a page before, is not queued again.
  VisitChildLinks(
      links, pageUrl, rules, list_, fetched_, [&](std::u16string_view url, const PageRules& child) {
        if (Full(plan)) {
          return ChildVisit::Stop;
        }
        if (!Holds(plan.Fetched, url)) {
          AddPage(FetchKey{std::u16string(url), FetchKind::Page, 0, SystemTime(), nullptr, {}},
                  child, plan);
        }
        return ChildVisit::Next;
      });
}

}  // namespace kivo
