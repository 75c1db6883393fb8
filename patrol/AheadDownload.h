#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "html/PageLinks.h"
#include "patrol/BodyStore.h"
#include "patrol/DownloadBody.h"
#include "patrol/FetchKey.h"
#include "patrol/FetchProgress.h"
#include "patrol/FetchReport.h"
#include "patrol/FetchVerdict.h"
#include "platform/HttpTransfer.h"

namespace kivo {

// One download that FetchAhead makes: the request it answers, the body and the transfer that
// bring the answer, the links read from it ahead of its turn, and how far its progress has
// been shown.
struct AheadDownload {
  explicit AheadDownload(BodyStore& store) : Store(store) {}
  AheadDownload(const AheadDownload&) = delete;
  AheadDownload& operator=(const AheadDownload&) = delete;
  ~AheadDownload() { Store.Release(LinkBytes); }

  BodyStore& Store;
  FetchKey Key;
  std::unique_ptr<DownloadBody> Body;
  std::unique_ptr<platform::HttpTransfer> Transfer;  // null: the URL cannot be requested
  std::unique_ptr<PageLinks> Links;
  uint64_t LinkBytes = 0;  // what Links count against the memory budget
  bool FetchedAhead = false;
  bool Scanned = false;
  bool HeadShown = false;
  // The entry at its root was processed without reading its page, and no plan has named it
  // since: the guess that made it has failed, so it is the first to go when room is needed.
  bool Orphaned = false;
  uint64_t Shown = 0;  // body bytes whose progress has been reported

  bool Finished() const { return Transfer == nullptr || Transfer->Finished(); }
  bool Started() const { return Transfer == nullptr || Transfer->Started(); }
  // True when a 200's body arrived whole and was accepted.
  bool ArrivedWhole() const;
  // Returns the URL the body came from after redirects, empty when none was followed.
  std::u16string RedirectedUrl() const;
  // Returns what JudgeFetch needs to know of how it ended.
  FetchFacts Facts() const;
  // Reports the body's progress in steps of kProgressStep bytes, whatever the network's
  // chunks, so that the calls are the same for every connection count; `final` shows the rest.
  void ShowProgress(FetchProgress* progress, bool final);
  // Fills in how it ended; `whole` when its body arrived whole.
  void Describe(bool whole, FetchReport& report) const;

  // The progress steps of a body.
  static constexpr uint64_t kProgressStep = 1024;
};

}  // namespace kivo
