#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "html/PageLinks.h"
#include "patrol/AheadDownload.h"
#include "patrol/DownloadBody.h"
#include "patrol/FetchKey.h"
#include "patrol/FetchProgress.h"
#include "patrol/FetchReport.h"
#include "platform/HttpConnections.h"
#include "support/SystemTime.h"
#include "urllist/UrlEntry.h"

namespace kivo {

// Whether an entry's page was read for its images, frames and links.
enum class PageRead { No, Yes };

// The result of one download when its turn comes.
struct FetchOutcome {
  int Result = 0;                      // 1 when a 200's body arrived whole
  FetchReport Report;                  // Report.Answer tells an unchanged page from a failed fetch
  std::unique_ptr<DownloadBody> Body;  // set when Result is 1
  // The page's links, when they were read while it waited for its turn.
  std::unique_ptr<PageLinks> Links;
};

// What is known of a download fetched ahead once it has arrived whole: the URL
// its body came from after redirects (empty when none was followed) and, for a
// page that has been read, its links.
struct AheadAnswer {
  const PageLinks* Links = nullptr;
  std::u16string RedirectedUrl;
};

// Reads the links of a page that arrived ahead of its turn: the request, the
// URL the body came from and the body. Null when it is not read (a binary
// body, or one the reader does not want).
using PageScanner = std::function<std::unique_ptr<PageLinks>(
    const FetchKey& key, std::u16string_view pageUrl, const DownloadBody& body)>;

// Fetches what the patrol is about to need ahead of time over up to
// `connections` connections, and hands each response over only when the
// patrol takes it, in the patrol's own order, so that a patrol stores and
// reports the same for every connection count:
// - Fetches ahead never take the last connection, and a request once sent is
//   never stopped to make room: the download being taken always finds a
//   connection, and no URL is asked twice for want of one.
// - A download fetched ahead that failed in a way the server's load may
//   cause, or that found no room to keep its body, is asked again when its
//   turn comes, alone to its host (JudgeFetch); only that answer counts.
// - The bodies and links kept for pages fetched ahead share one memory budget
//   (kHeldAheadBytes), and a body fetched ahead gives way rather than take the
//   disk under its floor.
// - After a cancel nothing more is fetched ahead, and a download that is not
//   taken is thrown away unseen; the one being taken is still asked again when
//   JudgeFetch says so, as one connection would still ask for it.
// With one connection only the download being taken is ever in flight.
class FetchAhead {
 public:
  FetchAhead(platform::HttpConnections& http, BodyStore& store, int32_t connections,
             std::function<bool()> cancelled, std::function<bool()> shouldAbandon,
             PageScanner scanner);
  FetchAhead(const FetchAhead&) = delete;
  FetchAhead& operator=(const FetchAhead&) = delete;
  ~FetchAhead();

  // The longest plan that is acted on.
  int32_t Horizon() const { return maxAhead_; }
  // Sets the requests expected next, in order; the first is the one about to
  // be taken. Take starts the others as connections and limits allow.
  void Plan(std::vector<FetchKey> upcoming);
  // Waits for the download of `key` (starting it now when it is not under
  // way), asks again when JudgeFetch says so, and returns the answer,
  // reporting its progress in 1024-byte steps. After a cancel every other
  // download is thrown away, and this one is given up once shouldAbandon
  // says so.
  FetchOutcome Take(const FetchKey& key, FetchProgress* progress);
  // What the download fetched ahead for `key` has brought: nothing before it
  // has arrived whole. A page is read when it is first asked about, as far as
  // the memory budget allows, so that its images can be fetched ahead too.
  AheadAnswer Known(const FetchKey& key);
  // Throws away every download made for the page of `entry`, once its turn is over. When its
  // page was not read, the downloads that its links foretold will not be asked for through it,
  // and are forgotten first when room is needed.
  void DropFor(const UrlEntry* entry, PageRead read);
  // Throws away the downloads that `unwanted` picks.
  void DropWhere(const std::function<bool(const FetchKey&)>& unwanted);
  // Throws away every download.
  void DropAll();

 private:
  std::unique_ptr<AheadDownload> MakeDownload(const FetchKey& key, BodyRole role);
  std::unique_ptr<AheadDownload> Claim(const FetchKey& key);
  void Await(AheadDownload& download, platform::TransferRole role, FetchProgress* progress);
  FetchOutcome Outcome(AheadDownload& download, FetchProgress* progress) const;
  void Refill();
  void Match(std::vector<bool>& matched, std::vector<bool>& served);
  bool Evict(std::vector<bool>& matched);
  void ReadAhead(AheadDownload& download);

  platform::HttpConnections& http_;
  BodyStore& store_;
  const int32_t maxAhead_;
  std::function<bool()> cancelled_;
  std::function<bool()> shouldAbandon_;
  PageScanner scanner_;
  std::deque<std::unique_ptr<AheadDownload>> downloads_;  // in the order they were made
  std::vector<FetchKey> plan_;
};

}  // namespace kivo
