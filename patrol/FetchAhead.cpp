#include "patrol/FetchAhead.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "patrol/FetchVerdict.h"
#include "patrol/LinkBudget.h"
#include "patrol/SplitUrl.h"
#include "platform/Utf8.h"
#include "support/WideString.h"

namespace kivo {
namespace {

// How long one wait for the network lasts before the cancel flag is asked again.
constexpr std::chrono::milliseconds kWaitSlice{200};

}  // namespace

FetchAhead::FetchAhead(platform::HttpConnections& http, BodyStore& store, int32_t connections,
                       std::function<bool()> cancelled, std::function<bool()> shouldAbandon,
                       PageScanner scanner)
    : http_(http),
      store_(store),
      // With one connection nothing is fetched ahead. Otherwise a few responses per connection
      // may wait for their turn, so that one slow page does not stop the others.
      maxAhead_(connections <= 1 ? 1 : std::min(connections * 8, 64)),
      cancelled_(std::move(cancelled)),
      shouldAbandon_(std::move(shouldAbandon)),
      scanner_(std::move(scanner)) {}

FetchAhead::~FetchAhead() {
  DropAll();
}

void FetchAhead::Plan(std::vector<FetchKey> upcoming) {
  plan_ = std::move(upcoming);
  if (plan_.size() > static_cast<size_t>(maxAhead_)) {
    plan_.resize(static_cast<size_t>(maxAhead_));
  }
}

std::unique_ptr<AheadDownload> FetchAhead::MakeDownload(const FetchKey& key, BodyRole role) {
  auto download = std::make_unique<AheadDownload>(store_);
  download->Key = key;
  download->FetchedAhead = role == BodyRole::Ahead;
  std::optional<std::pair<int32_t, SystemTime>> stored;
  if (key.Kind == FetchKind::Page) {
    stored.emplace(key.HasTime, key.LastTime);
  }
  download->Body = std::make_unique<DownloadBody>(
      store_, stored, key.Validators.Any() ? RequestKind::Conditional : RequestKind::Plain, role);
  // Stored URLs end at their first NUL; a view with one inside would be fetched cut down.
  if (key.Url.find(u'\0') != std::u16string::npos) {
    return download;
  }
  WideString host;
  WideString path;
  const SplitUrlResult split = SplitUrl(key.Url, host, path);
  if (split.Truncated) {
    return download;
  }
  const auto scheme =
      split.Scheme == UrlScheme::Https ? platform::HttpScheme::Https : platform::HttpScheme::Http;
  download->Transfer =
      http_.Prepare(scheme, host.View(), path.View(), *download->Body, key.Validators);
  return download;
}

void FetchAhead::Refill() {
  if (cancelled_()) {
    return;
  }
  // A body that gave way takes nothing more; its connection is freed at once. It stays as a
  // mark, so that its URL is not fetched ahead again but asked for at its turn. The bytes of
  // one that failed are never used, so its memory is freed for the others.
  for (const auto& download : downloads_) {
    if (download->Body->Outcome() == BodyOutcome::Dropped && !download->Finished()) {
      http_.Stop(*download->Transfer, platform::HttpError::Abandoned);
    } else if (download->Finished() && !download->ArrivedWhole()) {
      download->Body->Discard();
    }
  }
  std::vector<bool> matched(downloads_.size(), false);
  std::vector<bool> served(plan_.size(), false);
  Match(matched, served);
  // What the plan no longer names and has not been asked for costs nothing to forget.
  for (size_t i = downloads_.size(); i-- > 0;) {
    if (!matched[i] && !downloads_[i]->Started()) {
      downloads_.erase(downloads_.begin() + static_cast<std::ptrdiff_t>(i));
      matched.erase(matched.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  // Downloads made earlier go out first, in the plan's order of need, as far as connections
  // allow; one whose host is busy or deferred waits and lets the next go.
  for (const auto& download : downloads_) {
    if (!download->Started()) {
      if (!http_.HasFreeConnection(platform::TransferRole::Ahead) || !store_.MayHold(1)) {
        return;
      }
      http_.Start(*download->Transfer, platform::TransferRole::Ahead);
    }
  }
  for (size_t k = 0; k < plan_.size(); ++k) {
    if (served[k]) {
      continue;
    }
    if ((downloads_.size() >= static_cast<size_t>(maxAhead_) && !Evict(matched)) ||
        !http_.HasFreeConnection(platform::TransferRole::Ahead) || !store_.MayHold(1)) {
      return;
    }
    std::unique_ptr<AheadDownload> download = MakeDownload(plan_[k], BodyRole::Ahead);
    if (download->Transfer != nullptr) {
      http_.Start(*download->Transfer, platform::TransferRole::Ahead);
    }
    downloads_.push_back(std::move(download));
    matched.push_back(true);
  }
}

// Finds which download serves which planned request. Several requests may be alike: a page
// listed twice is fetched twice, each download serving one, while an image is fetched once
// for all who show it.
void FetchAhead::Match(std::vector<bool>& matched, std::vector<bool>& served) {
  for (size_t k = 0; k < plan_.size(); ++k) {
    for (size_t i = 0; i < downloads_.size(); ++i) {
      const bool shared = plan_[k].Kind == FetchKind::Image;
      if ((!matched[i] || shared) && Serves(downloads_[i]->Key, plan_[k])) {
        // The plan's earliest request for it tells whose turn leads to it now.
        if (!matched[i]) {
          downloads_[i]->Key.Root = plan_[k].Root;
          downloads_[i]->Orphaned = false;
        }
        matched[i] = served[k] = true;
        // A download made for a page that was only expected now belongs to the entry that
        // asks for it, so that dropping that entry's downloads drops it too.
        if (downloads_[i]->Key.Entry == nullptr) {
          downloads_[i]->Key.Entry = plan_[k].Entry;
        }
        break;
      }
    }
  }
}

// Makes room for a planned request by forgetting the oldest download that has ended and can
// no longer be needed: the plan does not name it and the guess that made it has failed. One
// that the plan's horizon merely no longer reaches is kept for its turn, and fetching further
// ahead waits instead: forgetting it would ask for its URL again. One in flight is never
// stopped. False when there is none.
bool FetchAhead::Evict(std::vector<bool>& matched) {
  for (size_t i = 0; i < downloads_.size(); ++i) {
    if (!matched[i] && downloads_[i]->Orphaned && downloads_[i]->Finished()) {
      downloads_.erase(downloads_.begin() + static_cast<std::ptrdiff_t>(i));
      matched.erase(matched.begin() + static_cast<std::ptrdiff_t>(i));
      return true;
    }
  }
  return false;
}

std::unique_ptr<AheadDownload> FetchAhead::Claim(const FetchKey& key) {
  const auto found =
      std::find_if(downloads_.begin(), downloads_.end(),
                   [&key](const auto& download) { return Serves(download->Key, key); });
  if (found == downloads_.end()) {
    return MakeDownload(key, BodyRole::Committed);
  }
  std::unique_ptr<AheadDownload> download = std::move(*found);
  downloads_.erase(found);
  download->Body->Commit();
  // One that was never sent is asked for now, as the patrol's own request.
  download->FetchedAhead = download->Started();
  if (download->Finished()) {
    return download;
  }
  if (download->Body->Outcome() == BodyOutcome::Dropped) {
    http_.Stop(*download->Transfer, platform::HttpError::Abandoned);  // it takes nothing more
  } else {
    http_.Promote(*download->Transfer);
  }
  return download;
}

FetchOutcome FetchAhead::Take(const FetchKey& key, FetchProgress* progress) {
  if (progress != nullptr) {
    progress->SetPercent(0);
    progress->SetBytes(std::nullopt);
  }
  // The plan's own entry for this request is used up, or a refill would ask for it again.
  const auto planned = std::find_if(plan_.begin(), plan_.end(),
                                    [&key](const FetchKey& want) { return Serves(want, key); });
  if (planned != plan_.end()) {
    plan_.erase(planned);
  }
  std::unique_ptr<AheadDownload> download = Claim(key);
  if (cancelled_()) {
    DropAll();  // nothing else fetched ahead is stored after a cancel
  }
  Await(*download, platform::TransferRole::Turn, progress);
  // After a cancel too: one connection would have sent this request now, within the grace that
  // Await keeps to, so an answer brought ahead that does not count is asked for again.
  if (JudgeFetch(download->Facts()) == FetchVerdict::AskAgain) {
    const bool shown = download->HeadShown;
    download = MakeDownload(key, BodyRole::Committed);
    if (progress != nullptr && shown) {
      progress->SetPercent(0);
      progress->SetBytes(std::nullopt);
    }
    Await(*download, platform::TransferRole::Alone, progress);
  }
  return Outcome(*download, progress);
}

// Runs the download until it ends, fetching ahead meanwhile. A download that is needed now
// starts as soon as its host lets it; after a cancel the others are thrown away, and this one
// is given up once shouldAbandon says so.
void FetchAhead::Await(AheadDownload& download, platform::TransferRole role,
                       FetchProgress* progress) {
  while (!download.Finished()) {
    if (cancelled_()) {
      DropAll();
      if (shouldAbandon_()) {
        http_.Stop(*download.Transfer, platform::HttpError::Abandoned);
        break;
      }
    }
    if (!download.Started()) {
      http_.Start(*download.Transfer, role);
    }
    // A request asked again alone waits for its host to fall quiet: nothing new is fetched
    // ahead meanwhile, or fetches to the same host could keep it waiting for ever.
    if (role != platform::TransferRole::Alone || download.Started()) {
      Refill();
    }
    download.ShowProgress(progress, false);
    http_.Wait(kWaitSlice);
  }
}

FetchOutcome FetchAhead::Outcome(AheadDownload& download, FetchProgress* progress) const {
  FetchOutcome outcome;
  DownloadBody& body = *download.Body;
  const bool whole = download.ArrivedWhole() && body.FinishFile();
  download.ShowProgress(progress, whole);
  download.Describe(whole, outcome.Report);
  if (!whole) {
    return outcome;
  }
  outcome.Result = 1;
  outcome.Report.RedirectedUrl = download.RedirectedUrl();
  outcome.Body = std::move(download.Body);
  outcome.Links = std::move(download.Links);
  return outcome;
}

AheadAnswer FetchAhead::Known(const FetchKey& key) {
  for (const auto& download : downloads_) {
    if (!Serves(download->Key, key)) {
      continue;
    }
    if (!download->Finished() || !download->ArrivedWhole()) {
      return AheadAnswer{};
    }
    if (!download->Scanned && download->Key.Kind == FetchKind::Page) {
      ReadAhead(*download);
    }
    return AheadAnswer{download->Links.get(), download->RedirectedUrl()};
  }
  return AheadAnswer{};
}

// Reads the links of a page that waits for its turn in memory, and keeps them while they fit
// in the memory budget beside the bodies; a page whose links will not fit is read at its turn.
void FetchAhead::ReadAhead(AheadDownload& download) {
  download.Scanned = true;
  const DownloadBody& body = *download.Body;
  if (body.InFile()) {
    return;
  }
  const std::u16string redirected = download.RedirectedUrl();
  const std::u16string& pageUrl = redirected.empty() ? download.Key.Url : redirected;
  // The guess keeps a page or sheet of dense links from being read only to be thrown away.
  const DocumentKind kind = KindOfDocument(body.ContentType(), pageUrl);
  if (!store_.MayHold(GuessLinkBytes(body.Bytes(), kind, pageUrl.size()))) {
    return;
  }
  std::unique_ptr<PageLinks> links = scanner_(download.Key, pageUrl, body);
  const uint64_t bytes = links != nullptr ? HeldBytes(*links) : 0;
  if (links == nullptr || !store_.MayHold(bytes)) {
    return;
  }
  store_.Hold(bytes);
  download.LinkBytes = bytes;
  download.Links = std::move(links);
}

void FetchAhead::DropFor(const UrlEntry* entry, PageRead read) {
  DropWhere(
      [entry](const FetchKey& key) { return key.Kind == FetchKind::Page && key.Entry == entry; });
  for (const auto& download : downloads_) {
    download->Orphaned =
        download->Orphaned || (read == PageRead::No && download->Key.Root == entry);
  }
}

void FetchAhead::DropWhere(const std::function<bool(const FetchKey&)>& unwanted) {
  std::erase_if(downloads_, [&unwanted](const auto& download) { return unwanted(download->Key); });
}

void FetchAhead::DropAll() {
  downloads_.clear();
}

}  // namespace kivo
