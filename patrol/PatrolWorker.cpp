#include "patrol/PatrolWorker.h"

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
#include "patrol/FetchUrl.h"
#include "patrol/FetchedUrlList.h"
#include "patrol/FileType.h"
#include "patrol/LocalCopy.h"
#include "patrol/PatrolFolders.h"
#include "patrol/PatrolRunning.h"
#include "patrol/PatrolSettings.h"
#include "platform/CodePage.h"
#include "platform/HttpSession.h"
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
  std::u16string TempPath;       // the temporary download file in it
  RewriteSetup Rewrite;          // the pages' code page and the placeholder image
};

// One patrol's tables and the processing of its entries. It lives for the
// main loop and the rewrite pass; its destruction frees the records.
class Patrol {
 public:
  Patrol(PatrolView& view, PatrolList& list, const PatrolSettings& settings,
         const PatrolLimits& limits, HttpSession& session, const PatrolSetup& setup)
      : view_(view),
        list_(list),
        settings_(settings),
        session_(session),
        setup_(setup),
        tempPath_(setup.TempPath),
        fetchLimits_{settings.MaxFileBytes, limits.MinFreeBytes, limits.FreeSpace} {}

  // Processes the list in order until its end, a cancel or a full disk. The
  // count is read again at every step because processing inserts after
  // position i.
  void RunMainLoop() {
    int32_t i = 0;
    for (; i < list_.Count() && KeepsGoing(); ++i) {
      ProcessEntry(i);
    }
    NoteStop(i < list_.Count());
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
      if (page != nullptr && !aliases_.contains(page) && !IsBinaryFile(page->LocalPath.View())) {
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

    int32_t hasTime = entry.HasLastTime;
    SystemTime lastTime = entry.LastTime;
    FetchReport report;
    if (Fetch(entry.Url.View(), &hasTime, &lastTime, report) == 0) {
      return;  // unchanged or unreachable: the entry keeps all its fields
    }
    WideString localPath;
    // A failed copy counts as a failed fetch. Recording it would leave a
    // record without a file, and the next URL would be given the same free
    // name, so two records would share one file.
    if (!Store(folder, entry.Url.View(), localPath)) {
      return;
    }
    // A redirected page is read as coming from its final URL, as browsers
    // do; both URLs count as fetched. The entry keeps the URL as typed.
    const bool redirected = !report.RedirectedUrl.empty();
    const WideString pageUrl = redirected ? WideString(report.RedirectedUrl) : entry.Url;
    fetchedUrls_.Add(entry.Url.View());
    pageFiles_.Add(std::make_unique<FetchedFile>(FetchedFile{pageUrl, localPath}));
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

    if (IsBinaryFile(tempPath_)) {
      return;
    }
    view_.SetState(kStateAnalysing);
    PageLinks links;
    ExtractLinks(links, pageUrl.View(), tempPath_, setup_.Rewrite.Ansi);
    if (entry.GetImages != 0) {
      FetchImages(links, folder);
    }
    QueueFramesAndLinks(index, entry, links);
    ClearPageLinks(links);
  }

  // Downloads url into the temporary file. The fetcher replaces the file
  // rather than truncating it, which also spares file systems such as ext4
  // the flush they do when a truncated file is written again. A download
  // that found the disk (nearly) full stops the patrol.
  int Fetch(std::u16string_view url, int32_t* hasTime, SystemTime* lastTime, FetchReport& report) {
    const int result =
        FetchUrl(session_, url, tempPath_, hasTime, lastTime, &view_, &fetchLimits_, &report);
    if (report.Failure == FetchFailure::OutOfSpace) {
      spaceFolder_ = std::u16string(FolderOfPath(tempPath_));
    }
    return result;
  }

  // Stores the download under a free name in folder. When that fails on a
  // file system that is (nearly) full, the patrol stops; any other failure
  // costs only this file.
  bool Store(const WideString& folder, std::u16string_view url, WideString& localPath) {
    if (SaveAsLocalCopy(tempPath_, folder.View(), url, localPath)) {
      return true;
    }
    const std::optional<uint64_t> free = fetchLimits_.FreeSpace
                                             ? fetchLimits_.FreeSpace(folder.View())
                                             : platform::FreeBytes(folder.View());
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

  void FetchImages(const PageLinks& links, const WideString& folder) {
    for (const WideString* image : links.ImageUrls) {
      if (!KeepsGoing()) {
        NoteStop(true);
        return;
      }
      if (image == nullptr || fetchedUrls_.Contains(image->View())) {
        continue;
      }
      view_.SetUrl(image->View());
      view_.SetState(kStateDownloading);
      FetchReport report;
      if (Fetch(image->View(), nullptr, nullptr, report) == 0) {
        continue;
      }
      WideString localPath;
      if (!Store(folder, image->View(), localPath)) {
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
  HttpSession& session_;
  const PatrolSetup& setup_;
  const std::u16string& tempPath_;
  const FetchLimits fetchLimits_;
  FetchedUrlList fetchedUrls_;
  FetchedFileList pageFiles_;
  FetchedFileList imageFiles_;
  // The second records of redirected pages, which the rewrite pass skips.
  std::unordered_set<const FetchedFile*> aliases_;
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
  // The watch outlives the session that asks it.
  CancelWatch cancelWatch(limits.CancelGrace);
  settings.Session.ShouldAbandon = [&cancelWatch] { return cancelWatch.ShouldAbandon(); };
  std::unique_ptr<HttpSession> session = HttpSession::Open(settings.Session);
  if (session == nullptr) {
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
    const PatrolSetup setup{programFolder, tempPath,
                            RewriteSetup{ansi, ansi.Encode(programFolder + u"null.gif")}};
    Patrol patrol(view, *params.List, settings, limits, *session, setup);
    patrol.RunMainLoop();
    patrol.RewritePages();
    patrol.ShowProblems();
    outOfSpace = patrol.RanOutOfSpace();
    report.StoppedByCancel = patrol.CancelLeftWork() || cancelWatch.GaveUp();
  }
  params.List->RemoveTemporaries();
  platform::RemoveFile(tempPath);
  session.reset();
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
