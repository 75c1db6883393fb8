#include "patrol/PatrolWorker.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "html/ExtractLinks.h"
#include "html/FetchedFile.h"
#include "html/FetchedFileList.h"
#include "html/PageLinks.h"
#include "html/RewriteLinks.h"
#include "patrol/AdmissionTest.h"
#include "patrol/DownloadBody.h"
#include "patrol/FetchAhead.h"
#include "patrol/FetchReport.h"
#include "patrol/FetchedUrlList.h"
#include "patrol/FileType.h"
#include "patrol/LocalCopy.h"
#include "patrol/PatrolFolders.h"
#include "patrol/PatrolRunning.h"
#include "patrol/PatrolSettings.h"
#include "platform/CodePage.h"
#include "platform/HttpConnections.h"
#include "platform/NewFile.h"
#include "platform/ProgramFolder.h"
#include "platform/StorageSpace.h"
#include "urllist/UrlMapping.h"

namespace kivo {

namespace {

using Clock = std::chrono::steady_clock;

bool IsRunning() {
  return PatrolRunning.load() == kPatrolGoing;
}

// Decides when a download in progress is given up: at once after an
// abandon, and once the grace has passed since a cancel was first seen. The
// worker sees a cancel within a poll slice of the HTTP layer.
class CancelWatch {
 public:
  explicit CancelWatch(std::chrono::milliseconds grace) : grace_(grace) {}

  // True when the download in progress must be given up.
  bool ShouldAbandon() {
    const int32_t state = PatrolRunning.load();
    if (state == kPatrolGoing) {
      return false;
    }
    if (state != kPatrolCancelled) {
      gaveUp_ = true;
      return true;
    }
    const Clock::time_point now = Clock::now();
    if (!cancelSeen_) {
      cancelSeen_ = now;
    }
    gaveUp_ = now - *cancelSeen_ >= grace_;
    return gaveUp_;
  }

  // True once a download has been given up for a cancel.
  bool GaveUp() const { return gaveUp_; }

 private:
  const std::chrono::milliseconds grace_;
  std::optional<Clock::time_point> cancelSeen_;
  bool gaveUp_ = false;
};

// Makes the temporary entry for a frame or link url found on parent's page:
// it inherits the parent's title, download options, server rule and folder.
std::unique_ptr<UrlEntry> MakeTemporaryEntry(const UrlEntry& parent, std::u16string_view url,
                                             int32_t linkLevel) {
  auto entry = std::make_unique<UrlEntry>();
  entry->ListIndex = -1;
  entry->Name.Assign(parent.Name);
  entry->Url.Assign(url);
  entry->LinkLevel = linkLevel;
  entry->GetImages = parent.GetImages;
  entry->OnlyListedServers = parent.OnlyListedServers;
  for (const WideString* server : parent.Servers) {
    if (server != nullptr) {
      entry->Servers.Add(std::make_unique<WideString>(*server));
    }
  }
  entry->UseOwnFolder = parent.UseOwnFolder;
  entry->OwnFolder.Assign(parent.OwnFolder);
  return entry;
}

// What a patrol resolves once when it starts and hands down, so that no
// entry or page looks up the environment or the disk for it again.
struct PatrolSetup {
  std::u16string ProgramFolder;  // with its final "/"
  RewriteSetup Rewrite;          // the pages' code page and the placeholder image
};

// One patrol's tables and the processing of its entries. It lives for the
// main loop and the rewrite pass; its destruction frees the records.
class Patrol {
 public:
  Patrol(PatrolView& view, PatrolList& list, const PatrolSettings& settings,
         const PatrolLimits& limits, platform::HttpConnections& http, CancelWatch& cancelWatch,
         const PatrolSetup& setup)
      : view_(view),
        list_(list),
        settings_(settings),
        setup_(setup),
        fetchLimits_{settings.MaxFileBytes, limits.MinFreeBytes, limits.FreeSpace},
        bodies_(setup.ProgramFolder, fetchLimits_),
        ahead_(
            http, bodies_, settings.Connections, [] { return !IsRunning(); },
            [&cancelWatch] { return cancelWatch.ShouldAbandon(); },
            [this](const FetchKey& key, std::u16string_view pageUrl, const DownloadBody& body) {
              return ScanAhead(key, pageUrl, body);
            }) {}

  // Processes the list in order until its end, a cancel or a full disk. The
  // count is read again at every step because processing inserts after
  // position i. What was fetched ahead and not taken is thrown away unseen.
  void RunMainLoop() {
    int32_t i = 0;
    for (; i < list_.Count() && KeepsGoing(); ++i) {
      ProcessEntry(i);
      ahead_.DropFor(list_[i]);
    }
    NoteStop(i < list_.Count());
    ahead_.DropAll();
  }

  // Rewrites the links of every page stored so far, also after a cancel.
  // The new pages are synced to disk together and only then put in place.
  void RewritePages() {
    view_.SetState(kStateRewriting);
    platform::PendingReplacements rewritten;
    for (int32_t i = 0; i < pageFiles_.Count(); ++i) {
      const FetchedFile* page = pageFiles_[i];
      // A redirected page has a second record under the URL it was asked
      // for; the file is rewritten once, against the URL it came from.
      if (page != nullptr && !aliases_.contains(page) && !binaryPages_.contains(page)) {
        RewriteLinks(page->LocalPath.View(), *page, imageFiles_, pageFiles_, setup_.Rewrite,
                     rewritten);
      }
    }
    rewritten.Commit();
  }

  // Shows what went wrong with the folders, then why the patrol stopped
  // early, each once. They come at the end so that an unattended patrol is
  // not held up by a message in its middle.
  void ShowProblems() {
    for (const std::u16string& message : folderMessages_) {
      view_.ShowError(message);
    }
    if (spaceFolder_) {
      view_.ShowError(std::u16string(kOutOfSpaceError) + *spaceFolder_ +
                      std::u16string(kOutOfSpaceEnd));
    }
  }

  bool RanOutOfSpace() const { return spaceFolder_.has_value(); }
  // True when a cancel left an entry, a queued frame or link or an image unfetched.
  bool CancelLeftWork() const { return cancelLeftWork_; }

 private:
  bool KeepsGoing() const { return IsRunning() && !spaceFolder_; }
  // Records whether a stop that left work undone came from a cancel.
  void NoteStop(bool workLeft) { cancelLeftWork_ = cancelLeftWork_ || (workLeft && !IsRunning()); }

  void ProcessEntry(int32_t index) {
    UrlEntry& entry = *list_[index];
    // A queued frame or link may have been fetched meanwhile as the target
    // of a redirect; it is not fetched a second time.
    const bool temporary = list_.IsTemporary(&entry);
    if (temporary && fetchedUrls_.Contains(entry.Url.View())) {
      return;
    }
    view_.SetTitle(entry.Name.View());
    view_.SetUrl(entry.Url.View());
    view_.SetState(kStateDownloading);
    const WideString folder = FolderOf(entry);
    if (!FolderUsable(folder)) {
      return;  // nothing could be stored: the entry keeps all its fields
    }

    const FetchKey key = KeyOf(entry);
    std::vector<FetchKey> upcoming{key};
    PlanPage(key, RulesOf(entry), upcoming);
    AddUpcomingEntries(index, upcoming);
    ahead_.Plan(std::move(upcoming));
    FetchOutcome fetched = Take(key);
    if (fetched.Result == 0) {
      return;  // unchanged or unreachable: the entry keeps all its fields
    }
    const FetchReport& report = fetched.Report;
    const int32_t hasTime = fetched.Body->NewHasTime();
    const SystemTime lastTime = fetched.Body->NewTime();
    WideString localPath;
    // A failed copy counts as a failed fetch. Recording it would leave a
    // record without a file, and the next URL would be given the same free
    // name, so two records would share one file.
    if (!Store(*fetched.Body, folder, entry.Url.View(), localPath)) {
      return;
    }
    // A redirected page is read as coming from its final URL, as browsers
    // do; both URLs count as fetched. The entry keeps the URL as typed.
    const bool redirected = !report.RedirectedUrl.empty();
    const WideString pageUrl = redirected ? WideString(report.RedirectedUrl) : entry.Url;
    fetchedUrls_.Add(entry.Url.View());
    const FetchedFile* record =
        pageFiles_.Add(std::make_unique<FetchedFile>(FetchedFile{pageUrl, localPath}));
    // The stored file holds the body's bytes, so its type is known now: by
    // its name first, as the rewrite pass would test it, then by its bytes.
    if (BinaryByExtension(localPath.View()).value_or(fetched.Body->IsBinary())) {
      binaryPages_.insert(record);
    }
    if (redirected) {
      fetchedUrls_.Add(pageUrl.View());
      aliases_.insert(
          pageFiles_.Add(std::make_unique<FetchedFile>(FetchedFile{entry.Url, localPath})));
    }
    if (temporary) {
      // Temporary entries belong to this thread alone.
      entry.HasLastTime = hasTime;
      entry.LastTime = lastTime;
    } else {
      view_.UpdateEntry(entry, EntryUpdate{1, localPath, hasTime, lastTime});
    }

    if (fetched.Body->IsBinary()) {
      return;
    }
    view_.SetState(kStateAnalysing);
    // A page read while it waited for its turn is not read again: the same
    // bytes and the same URL give the same links.
    PageLinks read;
    PageLinks& links = fetched.Links ? *fetched.Links : read;
    if (!fetched.Links && fetched.Body->InFile()) {
      ExtractLinks(links, pageUrl.View(), fetched.Body->FilePath(), setup_.Rewrite.Ansi);
    } else if (!fetched.Links) {
      ExtractLinksFromBytes(links, pageUrl.View(), fetched.Body->Bytes(), setup_.Rewrite.Ansi);
    }
    fetched.Body.reset();  // its memory or temporary file is not needed any more
    if (entry.GetImages != 0) {
      FetchImages(index, links, folder);
      // An image, or a page expected to be queued, that was fetched ahead
      // and whose URL has been fetched meanwhile will never be asked for.
      ahead_.DropWhere([this](const FetchKey& key) {
        return key.Entry == nullptr && fetchedUrls_.Contains(key.Url);
      });
    }
    QueueFramesAndLinks(index, entry, links);
    ClearPageLinks(links);
  }

  // The request for an image, made whatever its time.
  static FetchKey ImageKey(std::u16string_view url) {
    return FetchKey{std::u16string(url), FetchKind::Image, 0, SystemTime(), nullptr};
  }

  // The request for entry's page, conditional on its Last-Modified time.
  static FetchKey KeyOf(const UrlEntry& entry) {
    return FetchKey{std::u16string(entry.Url.View()), FetchKind::Page, entry.HasLastTime,
                    entry.LastTime, &entry};
  }

  // What an entry passes on to the frames and links it queues: its server
  // rule and images option travel unchanged, its level and frame hops as
  // QueueFramesAndLinks counts them.
  struct PageRules {
    const UrlEntry* Rules;  // the entry whose server rule and images option apply
    int32_t LinkLevel;
    int32_t FrameHops;
  };

  PageRules RulesOf(const UrlEntry& entry) const {
    const auto hops = frameHops_.find(&entry);
    return PageRules{&entry, entry.LinkLevel, hops == frameHops_.end() ? 0 : hops->second};
  }

  bool PlanFull(const std::vector<FetchKey>& upcoming) const {
    return upcoming.size() >= static_cast<size_t>(ahead_.Horizon());
  }

  // The requests that the entries after index will make, as far as they are
  // known now: each entry's page, except a queued frame or link that has been
  // fetched meanwhile, which will be skipped, then what its page is expected
  // to ask for once it has arrived.
  void AddUpcomingEntries(int32_t index, std::vector<FetchKey>& upcoming) {
    for (int32_t j = index + 1;
         j < list_.Count() && j <= index + ahead_.Horizon() * 4 && !PlanFull(upcoming); ++j) {
      const UrlEntry& next = *list_[j];
      if (list_.IsTemporary(&next) && fetchedUrls_.Contains(next.Url.View())) {
        continue;
      }
      const FetchKey key = KeyOf(next);  // a copy: the plan grows below
      upcoming.push_back(key);
      PlanPage(key, RulesOf(next), upcoming);
    }
  }

  // Adds what the page that `page` fetched ahead will ask for once its turn
  // comes, when it has arrived and been read: its images, then the frames and
  // links it will queue, each followed by what it asks for in turn. This is
  // the depth-first order in which the patrol will need them. A guess that
  // turns out wrong costs one request, never a different result.
  void PlanPage(const FetchKey& page, const PageRules& rules, std::vector<FetchKey>& upcoming) {
    const PageLinks* links = ahead_.KnownLinks(page);
    if (links != nullptr) {
      PlanLinks(page.Url, *links, rules, -1, upcoming);
    }
  }

  // Adds the images of links from after position `imagesFrom`, then the
  // frames and links that the page at pageUrl will queue, with their own
  // expected requests.
  void PlanLinks(std::u16string_view pageUrl, const PageLinks& links, const PageRules& rules,
                 int32_t imagesFrom, std::vector<FetchKey>& upcoming) {
    if (rules.Rules->GetImages != 0) {
      for (int32_t j = imagesFrom + 1; j < links.ImageUrls.Count() && !PlanFull(upcoming); ++j) {
        const WideString* image = links.ImageUrls[j];
        if (image != nullptr && !fetchedUrls_.Contains(image->View())) {
          upcoming.push_back(ImageKey(image->View()));
        }
      }
    }
    const WideString server = ServerOfUrl(pageUrl);
    auto expect = [&](const OwnedPtrArray<WideString>& urls, const PageRules& childRules) {
      for (const WideString* url : urls) {
        if (PlanFull(upcoming)) {
          return;
        }
        if (url == nullptr ||
            !AdmitsUrl(*rules.Rules, server.View(), url->View(), list_, fetchedUrls_) ||
            Planned(url->View(), upcoming)) {
          continue;
        }
        const FetchKey child{std::u16string(url->View()), FetchKind::Page, 0, SystemTime(),
                             nullptr};
        upcoming.push_back(child);
        PlanPage(child, childRules, upcoming);
      }
    };
    if (rules.FrameHops < kMaxFrameHops) {
      expect(links.FrameUrls, PageRules{rules.Rules, rules.LinkLevel, rules.FrameHops + 1});
    }
    if (rules.LinkLevel > 0) {
      expect(links.LinkUrls, PageRules{rules.Rules, rules.LinkLevel - 1, 0});
    }
  }

  // True when the plan already asks for the page at url: the patrol queues a
  // URL once, so a second link to it asks for nothing.
  static bool Planned(std::u16string_view url, const std::vector<FetchKey>& upcoming) {
    return std::any_of(upcoming.begin(), upcoming.end(), [url](const FetchKey& key) {
      return key.Kind == FetchKind::Page && key.Url == url;
    });
  }

  // Reads the links of a page that arrived ahead of its turn, unless it is
  // binary.
  std::unique_ptr<PageLinks> ScanAhead(const FetchKey& /*key*/, std::u16string_view pageUrl,
                                       const DownloadBody& body) const {
    if (body.IsBinary()) {
      return nullptr;
    }
    auto links = std::make_unique<PageLinks>();
    ExtractLinksFromBytes(*links, pageUrl, body.Bytes(), setup_.Rewrite.Ansi);
    return links;
  }

  // Waits for the download of key, whether fetched ahead or not. A download
  // that found the disk (nearly) full stops the patrol.
  FetchOutcome Take(const FetchKey& key) {
    FetchOutcome outcome = ahead_.Take(key, &view_);
    if (outcome.Report.Failure == FetchFailure::OutOfSpace) {
      spaceFolder_ = std::u16string(setup_.ProgramFolder);
    }
    return outcome;
  }

  // Stores the download under a free name in folder. When that fails on a
  // file system that is (nearly) full, the patrol stops; any other failure
  // costs only this file. A body held in memory is written straight to its
  // new name, once the free-space floor allows it.
  bool Store(DownloadBody& body, const WideString& folder, std::u16string_view url,
             WideString& localPath) {
    const auto freeBytes = [&]() {
      return fetchLimits_.FreeSpace ? fetchLimits_.FreeSpace(folder.View())
                                    : platform::FreeBytes(folder.View());
    };
    if (!body.InFile()) {
      const std::optional<uint64_t> free = freeBytes();
      if (fetchLimits_.MinFreeBytes != 0 && free &&
          *free < fetchLimits_.MinFreeBytes + body.Size()) {
        spaceFolder_ = std::u16string(folder.View());
        return false;
      }
    }
    const bool stored = body.InFile()
                            ? SaveAsLocalCopy(body.FilePath(), folder.View(), url, localPath)
                            : SaveBytesAsLocalCopy(body.Bytes(), folder.View(), url, localPath);
    if (stored) {
      return true;
    }
    const std::optional<uint64_t> free = freeBytes();
    if (free && *free < fetchLimits_.MinFreeBytes) {
      spaceFolder_ = std::u16string(folder.View());
    }
    return false;
  }

  // True when files can be stored in folder. A folder that cannot be used is
  // reported once, at the end of the patrol, instead of failing in silence.
  bool FolderUsable(const WideString& folder) {
    const auto [known, added] = folderUsable_.try_emplace(std::u16string(folder.View()), true);
    if (added) {
      const std::u16string problem = platform::FolderProblem(folder.View());
      if (!problem.empty()) {
        known->second = false;
        folderMessages_.push_back(std::u16string(kFolderError) + known->first + u": " + problem);
      }
    }
    return known->second;
  }

  // The images of the page from position on that are still to be fetched,
  // then the frames and links it will queue, then what the entries after
  // index will ask for.
  std::vector<FetchKey> UpcomingImages(int32_t index, const PageLinks& links, int32_t position,
                                       const FetchKey& first) {
    std::vector<FetchKey> upcoming{first};
    const UrlEntry& entry = *list_[index];
    PlanLinks(entry.Url.View(), links, RulesOf(entry), position, upcoming);
    AddUpcomingEntries(index, upcoming);
    return upcoming;
  }

  void FetchImages(int32_t index, const PageLinks& links, const WideString& folder) {
    for (int32_t position = 0; position < links.ImageUrls.Count(); ++position) {
      const WideString* image = links.ImageUrls[position];
      if (!KeepsGoing()) {
        NoteStop(true);
        return;
      }
      if (image == nullptr || fetchedUrls_.Contains(image->View())) {
        continue;
      }
      view_.SetUrl(image->View());
      view_.SetState(kStateDownloading);
      const FetchKey key = ImageKey(image->View());
      ahead_.Plan(UpcomingImages(index, links, position, key));
      FetchOutcome fetched = Take(key);
      if (fetched.Result == 0) {
        continue;
      }
      const FetchReport& report = fetched.Report;
      WideString localPath;
      if (!Store(*fetched.Body, folder, image->View(), localPath)) {
        continue;  // as for pages: no record for a file that was not stored
      }
      fetchedUrls_.Add(image->View());
      imageFiles_.Add(std::make_unique<FetchedFile>(FetchedFile{*image, localPath}));
      if (!report.RedirectedUrl.empty()) {
        // Images are never rewritten, so the second record needs no care.
        fetchedUrls_.Add(report.RedirectedUrl);
        imageFiles_.Add(std::make_unique<FetchedFile>(
            FetchedFile{WideString(report.RedirectedUrl), localPath}));
      }
    }
  }

  // Inserts the admitted frames, then the admitted links, right after the
  // entry at index, each group in document order: the walk is depth-first
  // in pre-order. Frames carry the count of frame hops since the last
  // hyperlink (or the user entry) and stop at kMaxFrameHops.
  void QueueFramesAndLinks(int32_t index, const UrlEntry& entry, const PageLinks& links) {
    const WideString entryServer = ServerOfUrl(entry.Url.View());
    const auto hopsFound = frameHops_.find(&entry);
    const int32_t hops = hopsFound == frameHops_.end() ? 0 : hopsFound->second;
    int32_t inserted = 0;
    auto queue = [&](const OwnedPtrArray<WideString>& urls, int32_t linkLevel, int32_t newHops) {
      for (const WideString* url : urls) {
        if (url == nullptr ||
            !AdmitsUrl(entry, entryServer.View(), url->View(), list_, fetchedUrls_)) {
          continue;
        }
        const UrlEntry* queued = list_.InsertTemporary(
            index + inserted + 1, MakeTemporaryEntry(entry, url->View(), linkLevel));
        if (newHops > 0) {
          frameHops_[queued] = newHops;
        }
        ++inserted;
      }
    };
    if (hops < kMaxFrameHops) {
      queue(links.FrameUrls, entry.LinkLevel, hops + 1);
    }
    // Only a positive level follows links: a negative one from a hand-made
    // list file must not crawl without end.
    if (entry.LinkLevel > 0) {
      queue(links.LinkUrls, entry.LinkLevel - 1, 0);
    }
  }

  WideString FolderOf(const UrlEntry& entry) const {
    return EntryFolder(entry, setup_.ProgramFolder, settings_.SaveFolder);
  }

  PatrolView& view_;
  PatrolList& list_;
  const PatrolSettings& settings_;
  const PatrolSetup& setup_;
  const FetchLimits fetchLimits_;
  BodyStore bodies_;
  FetchAhead ahead_;
  FetchedUrlList fetchedUrls_;
  FetchedFileList pageFiles_;
  FetchedFileList imageFiles_;
  // The second records of redirected pages, which the rewrite pass skips.
  std::unordered_set<const FetchedFile*> aliases_;
  // The pages stored as images, videos or archives, which it skips too.
  std::unordered_set<const FetchedFile*> binaryPages_;
  // Frame hops of the temporary entries that came from a frame.
  std::unordered_map<const UrlEntry*, int32_t> frameHops_;
  std::unordered_map<std::u16string, bool> folderUsable_;
  std::vector<std::u16string> folderMessages_;
  // The folder whose file system ran out of space, once the patrol stops for it.
  std::optional<std::u16string> spaceFolder_;
  bool cancelLeftWork_ = false;
};

}  // namespace

std::u16string TemporaryFilePath() {
  return platform::ProgramFile(kTemporaryFileName);
}

int32_t RunPatrol(const PatrolParams& params) {
  if (params.View == nullptr || params.List == nullptr) {
    return kPatrolNoSession;
  }
  PatrolView& view = *params.View;
  PatrolReport unused;
  PatrolReport& report = params.Report != nullptr ? *params.Report : unused;
  report = PatrolReport{};
  const PatrolLimits defaults;
  const PatrolLimits& limits = params.Limits != nullptr ? *params.Limits : defaults;
  const std::u16string programFolder = platform::ProgramFolder();
  const std::u16string tempPath = programFolder + std::u16string(kTemporaryFileName);
  PatrolSettings settings = ReadPatrolSettings();
  if (limits.ReceiveTimeoutMs) {
    settings.Session.ReceiveTimeoutMs = *limits.ReceiveTimeoutMs;
  }
  // The watch outlives the connections that ask it.
  CancelWatch cancelWatch(limits.CancelGrace);
  std::unique_ptr<platform::HttpConnections> http =
      platform::HttpConnections::Open(settings.Session, settings.Connections);
  if (http == nullptr) {
    view.ShowError(kInternetOpenError);
    // The view must still learn that the patrol is over, or the dialog
    // would wait for ever.
    view.Finished();
    return kPatrolNoSession;
  }
  RemoveStaleTemporaries(*params.List, programFolder, settings.SaveFolder);
  bool outOfSpace = false;
  {
    const platform::CodePage ansi(platform::AnsiCodePageName());
    const PatrolSetup setup{programFolder,
                            RewriteSetup{ansi, ansi.Encode(programFolder + u"null.gif")}};
    Patrol patrol(view, *params.List, settings, limits, *http, cancelWatch, setup);
    patrol.RunMainLoop();
    patrol.RewritePages();
    patrol.ShowProblems();
    outOfSpace = patrol.RanOutOfSpace();
    report.StoppedByCancel = patrol.CancelLeftWork() || cancelWatch.GaveUp();
  }
  params.List->RemoveTemporaries();
  // The bodies removed their own temporary files; one under the old single
  // name may be left from an earlier version.
  platform::RemoveFile(tempPath);
  http.reset();
  view.Finished();
  return outOfSpace ? kPatrolOutOfSpace : kPatrolDone;
}

PatrolThread::~PatrolThread() {
  Join();
}

bool PatrolThread::Start(const PatrolParams& params) {
  if (thread_.joinable()) {
    return false;
  }
  PatrolRunning.store(kPatrolGoing);
  thread_ = std::thread([this, params] { result_ = RunPatrol(params); });
  return true;
}

int32_t PatrolThread::Join() {
  if (thread_.joinable()) {
    thread_.join();
  }
  return result_;
}

}  // namespace kivo
