#include "patrol/FetchAhead.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "patrol/SplitUrl.h"
#include "platform/Utf8.h"
#include "support/WideString.h"

namespace kivo {
namespace {

// The progress steps of a body: one per 1024 bytes whatever the network's chunks, so that
// the progress calls are the same for every connection count.
constexpr uint64_t kProgressStep = 1024;
// How long one wait for the network lasts before the cancel flag is asked again.
constexpr std::chrono::milliseconds kWaitSlice{200};
// How long the download being taken waits for a free connection before one that is needed
// later is stopped to make room.
constexpr std::chrono::milliseconds kLongestQueue{250};

// URL equality tested from the end. The URLs of one site share long prefixes and differ near
// the end, and the plan compares every planned request with every download several times per
// file, so most comparisons end at once this way.
bool SameUrl(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && std::equal(a.rbegin(), a.rend(), b.rbegin());
}

}  // namespace

bool Serves(const FetchKey& have, const FetchKey& want) {
  const bool sameEntry = have.Entry == want.Entry || have.Entry == nullptr || want.Entry == nullptr;
  return have.Kind == want.Kind && sameEntry && have.HasTime == want.HasTime &&
         std::memcmp(&have.LastTime, &want.LastTime, sizeof have.LastTime) == 0 &&
         SameUrl(have.Url, want.Url) && have.Validators == want.Validators;
}

struct FetchAhead::Download {
  FetchKey Key;
  std::unique_ptr<DownloadBody> Body;
  std::unique_ptr<platform::HttpTransfer> Transfer;  // null: the URL cannot be requested
  std::unique_ptr<PageLinks> Links;
  bool Scanned = false;
  bool HeadShown = false;
  uint64_t Shown = 0;  // body bytes whose progress has been reported

  bool Finished() const { return Transfer == nullptr || Transfer->Finished(); }
  bool Started() const { return Transfer == nullptr || Transfer->Started(); }
  bool InFlight() const { return !Finished(); }
};

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
  Refill();
}

std::unique_ptr<FetchAhead::Download> FetchAhead::MakeDownload(const FetchKey& key) {
  auto download = std::make_unique<Download>();
  download->Key = key;
  std::optional<std::pair<int32_t, SystemTime>> stored;
  if (key.Kind == FetchKind::Page) {
    stored.emplace(key.HasTime, key.LastTime);
  }
  download->Body = std::make_unique<DownloadBody>(
      store_, stored, key.Validators.Any() ? RequestKind::Conditional : RequestKind::Plain);
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
  // Which download serves which planned request; several requests may be alike (one page
  // listed twice), so each download serves one.
  std::vector<bool> matched(downloads_.size(), false);
  std::vector<bool> served(plan_.size(), false);
  for (size_t k = 0; k < plan_.size(); ++k) {
    for (size_t i = 0; i < downloads_.size(); ++i) {
      if (!matched[i] && Serves(downloads_[i]->Key, plan_[k])) {
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
  for (size_t k = 0; k < plan_.size(); ++k) {
    if (served[k]) {
      continue;
    }
    // The plan is in the order of need, so nothing after a request that cannot start yet is
    // started either. A download that the plan no longer names gives way, the newest first.
    if (downloads_.size() >= static_cast<size_t>(maxAhead_)) {
      const auto unplanned = std::find(matched.rbegin(), matched.rend(), false);
      if (unplanned == matched.rend()) {
        return;
      }
      const auto index = static_cast<std::ptrdiff_t>(matched.rend() - unplanned) - 1;
      downloads_.erase(downloads_.begin() + index);
      matched.erase(matched.begin() + index);
    }
    if (!http_.HasFreeConnection() || !store_.MayHold(1)) {
      return;
    }
    std::unique_ptr<Download> download = MakeDownload(plan_[k]);
    if (download->Transfer != nullptr) {
      http_.Start(*download->Transfer);
    }
    downloads_.push_back(std::move(download));
    matched.push_back(true);
  }
}

bool FetchAhead::MakeRoom() {
  // The newest downloads are the ones needed last; they give way first.
  for (size_t i = downloads_.size(); i-- > 0;) {
    if (downloads_[i]->InFlight()) {
      downloads_.erase(downloads_.begin() + static_cast<std::ptrdiff_t>(i));
      return true;
    }
  }
  return false;
}

FetchOutcome FetchAhead::Take(const FetchKey& key, FetchProgress* progress) {
  if (progress != nullptr) {
    progress->SetPercent(0);
    progress->SetBytes(std::nullopt);
  }
  auto found = std::find_if(downloads_.begin(), downloads_.end(),
                            [&key](const auto& download) { return Serves(download->Key, key); });
  std::unique_ptr<Download> download;
  // The plan's own entry for this request is used up, or a refill would ask for it again.
  const auto planned = std::find_if(plan_.begin(), plan_.end(),
                                    [&key](const FetchKey& want) { return Serves(want, key); });
  if (planned != plan_.end()) {
    plan_.erase(planned);
  }
  if (found != downloads_.end()) {
    download = std::move(*found);
    downloads_.erase(found);
  } else {
    download = MakeDownload(key);
    if (download->Transfer != nullptr) {
      http_.Start(*download->Transfer);
    }
  }
  // A download that finds every connection busy takes the first one that frees up: one of
  // them usually ends within a fraction of a request's time, while stopping one throws its
  // progress away and asks for it again later. Only when none ends soon does the download
  // needed last give way, so that a slow fetch-ahead cannot hold up the patrol.
  const auto queued = std::chrono::steady_clock::now();
  while (!download->Finished()) {
    if (cancelled_()) {
      // Nothing fetched ahead is stored after a cancel; the download being taken runs on until
      // it ends or is given up.
      DropAll();
      if (shouldAbandon_()) {
        http_.Stop(*download->Transfer, platform::HttpError::Abandoned);
        break;
      }
    }
    ShowProgress(*download, progress, false);
    http_.Wait(kWaitSlice);
    // The download being taken comes first to a connection that has just freed up.
    if (!http_.Start(*download->Transfer) && !download->Started() &&
        std::chrono::steady_clock::now() - queued >= kLongestQueue && MakeRoom()) {
      http_.Start(*download->Transfer);
    }
    Refill();
  }
  FetchOutcome outcome;
  DownloadBody& body = *download->Body;
  const bool whole = download->Transfer != nullptr && download->Transfer->CompletedWhole() &&
                     body.Outcome() == BodyOutcome::Accepted && body.FinishFile();
  ShowProgress(*download, progress, whole);
  Describe(*download, whole, outcome.Report);
  if (!whole) {
    return outcome;
  }
  outcome.Result = 1;
  if (download->Transfer->RedirectCount() > 0) {
    outcome.Report.RedirectedUrl = platform::Utf16FromUtf8(download->Transfer->FinalUrl());
  }
  outcome.Body = std::move(download->Body);
  outcome.Links = std::move(download->Links);
  return outcome;
}

void FetchAhead::Describe(const Download& download, bool whole, FetchReport& report) {
  const DownloadBody& body = *download.Body;
  const platform::HttpTransfer* transfer = download.Transfer.get();
  report.Failure = body.Failure();
  report.Requested = transfer != nullptr;
  report.Error = transfer != nullptr ? transfer->Error() : platform::HttpError::None;
  report.Facts = body.Facts();
  report.BytesReceived = body.Size();
  if (whole) {
    report.Answer = FetchAnswer::Body;
  } else if (body.Outcome() == BodyOutcome::Unchanged) {
    report.Answer = FetchAnswer::Unchanged;
  } else if (body.Outcome() == BodyOutcome::NotModified && transfer->CompletedWhole()) {
    report.Answer = FetchAnswer::NotModified;
  }
}

void FetchAhead::ShowProgress(Download& download, FetchProgress* progress, bool final) const {
  const DownloadBody& body = *download.Body;
  if (progress == nullptr || !body.HeadAccepted()) {
    return;
  }
  const uint64_t total = body.Total().value_or(0);
  if (!download.HeadShown) {
    download.HeadShown = true;
    // The head's count names any announced length, 0 included; the later
    // counts of a body announced as empty name none, as nothing can be a
    // percentage of it.
    progress->SetBytes(ByteCount{0, body.Total()});
  }
  const auto show = [&](uint64_t received) {
    if (total != 0) {
      progress->SetPercent(ProgressPercent(received, total));
      progress->SetBytes(ByteCount{received, total});
    } else {
      progress->SetBytes(ByteCount{received, std::nullopt});
    }
  };
  while (download.Shown + kProgressStep <= body.Size()) {
    download.Shown += kProgressStep;
    show(download.Shown);
  }
  if (final && download.Shown < body.Size()) {
    download.Shown = body.Size();
    show(download.Shown);
  }
}

const PageLinks* FetchAhead::KnownLinks(const FetchKey& key) {
  for (const auto& download : downloads_) {
    if (!Serves(download->Key, key)) {
      continue;
    }
    if (!download->Scanned && download->Key.Kind == FetchKind::Page && download->Finished() &&
        download->Transfer != nullptr && download->Transfer->CompletedWhole() &&
        download->Body->Outcome() == BodyOutcome::Accepted && !download->Body->InFile()) {
      download->Scanned = true;
      const std::u16string pageUrl = download->Transfer->RedirectCount() > 0
                                         ? platform::Utf16FromUtf8(download->Transfer->FinalUrl())
                                         : download->Key.Url;
      download->Links = scanner_(download->Key, pageUrl, *download->Body);
    }
    return download->Links.get();
  }
  return nullptr;
}

void FetchAhead::DropFor(const UrlEntry* entry) {
  DropWhere(
      [entry](const FetchKey& key) { return key.Kind == FetchKind::Page && key.Entry == entry; });
}

void FetchAhead::DropWhere(const std::function<bool(const FetchKey&)>& unwanted) {
  std::erase_if(downloads_, [&unwanted](const auto& download) { return unwanted(download->Key); });
}

void FetchAhead::DropAll() {
  downloads_.clear();
}

}  // namespace kivo
