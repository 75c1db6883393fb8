#include "patrol/PatrolWorker.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "html/DocumentKind.h"
#include "html/ExtractLinks.h"
#include "html/PageLinks.h"
#include "html/RewriteLinks.h"
#include "patrol/CancelWatch.h"
#include "patrol/CheckRecords.h"
#include "patrol/ChildLinks.h"
#include "patrol/DocumentLinks.h"
#include "patrol/DownloadBody.h"
#include "patrol/FetchAhead.h"
#include "patrol/FetchPlanner.h"
#include "patrol/FetchReport.h"
#include "patrol/FetchedUrlList.h"
#include "patrol/FileType.h"
#include "patrol/PatrolFolders.h"
#include "patrol/PatrolJournal.h"
#include "patrol/PatrolRunning.h"
#include "patrol/PatrolSettings.h"
#include "patrol/PatrolStorage.h"
#include "patrol/StoredFiles.h"
#include "platform/CodePage.h"
#include "platform/DownloadTemporaries.h"
#include "platform/HttpConnections.h"
#include "platform/ProgramFolder.h"

namespace kivo {

namespace {

bool IsRunning() {
  return PatrolRunning.load() == kPatrolGoing;
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
         const PatrolSetup& setup, PatrolJournal& journal)
      : view_(view),
        list_(list),
        settings_(settings),
        setup_(setup),
        journal_(journal),
        fetchLimits_{settings.MaxFileBytes, limits.MinFreeBytes, limits.FreeSpace},
        bodies_(setup.ProgramFolder, fetchLimits_),
        storage_(fetchLimits_, bodies_),
        ahead_(
            http, bodies_, settings.Connections, [] { return !IsRunning(); },
            [&cancelWatch] { return cancelWatch.ShouldAbandon(); },
            [this](const FetchKey& /*key*/, std::u16string_view url, const DownloadBody& body) {
              return ReadLinksAhead(body, url, setup_.Rewrite.Ansi);
            }),
        planner_(
            list, fetchedUrls_, stored_.Pages(), ahead_.Horizon(),
            [this](const FetchKey& key) { return ahead_.Known(key); },
            [this](const FetchKey& key) { return journal_.ValidatorsFor(key, list_); }) {}

  // Processes the list in order until its end, a cancel or a full disk. The
  // count is read again at every step because processing inserts after
  // position i. What was fetched ahead and not taken is thrown away unseen.
  void RunMainLoop() {
    int32_t i = 0;
    for (; i < list_.Count() && KeepsGoing(); ++i) {
      ahead_.DropFor(list_[i], ProcessEntry(i));
      // An image, or a page expected to be queued, that was fetched ahead and whose URL has
      // been fetched meanwhile will never be asked for.
      ahead_.DropWhere([this](const FetchKey& key) {
        return key.Entry == nullptr && fetchedUrls_.Contains(key.Url);
      });
    }
    NoteStop(i < list_.Count());
    ahead_.DropAll();
  }

  // Rewrites the links of every page stored so far, also after a cancel.
  void RewritePages() {
    view_.SetState(PatrolState::Rewriting);
    stored_.RewritePages(setup_.Rewrite);
  }

  // Shows what went wrong with the folders, then why the patrol stopped
  // early, each once. They come at the end so that an unattended patrol is
  // not held up by a message in its middle.
  void ShowProblems() {
    for (const PatrolError& error : storage_.Problems()) {
      view_.ShowError(error);
    }
  }

  bool RanOutOfSpace() const { return storage_.OutOfSpace(); }
  // True when a cancel left an entry, a queued frame or link or an image unfetched.
  bool CancelLeftWork() const { return cancelLeftWork_; }
  // The user entries updated so far, in order.
  const std::vector<const UrlEntry*>& UpdatedEntries() const { return updatedEntries_; }

 private:
  bool KeepsGoing() const { return IsRunning() && !storage_.OutOfSpace(); }
  // Records whether a stop that left work undone came from a cancel.
  void NoteStop(bool workLeft) { cancelLeftWork_ = cancelLeftWork_ || (workLeft && !IsRunning()); }

  // Fetches the page of the entry at index, stores it unless it is the same
  // content as the entry's current copy, records what came of it, and unless
  // it is binary reads it, fetches its images and queues its frames and links.
  // Returns whether its page was read.
  PageRead ProcessEntry(int32_t index) {
    UrlEntry& entry = *list_[index];
    if (SkipsQueuedEntry(list_, entry, stored_.Pages())) {
      return PageRead::No;
    }
    view_.SetTitle(entry.Name.View());
    view_.SetUrl(entry.Url.View());
    view_.SetState(PatrolState::Downloading);
    const bool user = !list_.IsTemporary(&entry);
    const WideString folder = EntryFolder(entry, setup_.ProgramFolder, settings_.SaveFolder);
    // Unchanged, unreachable or with nowhere to go, the entry keeps all its fields.
    const bool usable = storage_.FolderUsable(folder);
    FetchOutcome fetched;
    if (usable) {
      ahead_.Plan(planner_.FromEntry(index));
      fetched = Take(planner_.PageRequest(entry));
    }
    // A user entry's check follows its copy from before the check.
    HistoryCheck check =
        CheckOfFetch(entry.Url.View(), user ? CheckedKind::EntryPage : CheckedKind::QueuedPage,
                     fetched, user ? entry.LocalFile.View() : std::u16string_view());
    std::optional<WideString> pageUrl;
    if (!usable) {
      NoteStoreFailed(check);
    } else if (fetched.Result != 0 &&
               // The same content as the entry's copy changes nothing and is not read.
               !(user && journal_.SameContent(entry, *fetched.Body, setup_.Rewrite.Ansi, check))) {
      pageUrl = StorePage(entry, fetched, folder, check);
    }
    journal_.Record(check);
    if (!pageUrl || fetched.Body->IsBinary()) {
      return PageRead::No;
    }
    const DocumentKind kind = KindOfDocument(fetched.Body->ContentType(), pageUrl->View());
    if (kind == DocumentKind::Media) {
      return PageRead::No;  // audio, video and PDF are stored as they came
    }
    view_.SetState(PatrolState::Analysing);
    // A page read while it waited for its turn is not read again: the same
    // bytes and the same URL give the same links.
    PageLinks read;
    PageLinks& links = fetched.Links ? *fetched.Links : read;
    if (!fetched.Links) {
      ReadDocumentLinks(*fetched.Body, pageUrl->View(), kind, setup_.Rewrite.Ansi, links);
    }
    fetched.Body.reset();  // its memory or temporary file is not needed any more
    if (entry.GetImages != 0) {
      FetchImages(index, links, folder);
    }
    QueueFramesAndLinks(index, entry, links);
    ClearPageLinks(links);
    return PageRead::Yes;
  }

  // Stores the page that `fetched` brought for entry, records it in check
  // and updates the entry. Returns the URL its links are read against, or
  // nothing when it could not be stored.
  std::optional<WideString> StorePage(UrlEntry& entry, const FetchOutcome& fetched,
                                      const WideString& folder, HistoryCheck& check) {
    const DownloadBody& body = *fetched.Body;
    WideString localPath;
    // A failed copy counts as a failed fetch. Recording it would leave a
    // record without a file, and the next URL would be given the same free
    // name, so two records would share one file.
    if (!storage_.Store(body, folder, entry.Url.View(), localPath)) {
      NoteStoreFailed(check);
      return std::nullopt;
    }
    NoteStoredCopy(check, localPath.View());
    // A redirected page is read as coming from its final URL, as browsers
    // do; both URLs count as fetched. The entry keeps the URL as typed.
    const std::u16string& redirectedUrl = fetched.Report.RedirectedUrl;
    const bool redirected = !redirectedUrl.empty();
    WideString pageUrl = redirected ? WideString(redirectedUrl) : entry.Url;
    fetchedUrls_.Add(entry.Url.View());
    // The stored file holds the body's bytes, so its type is known now: by
    // its name first, as the rewrite pass would test it, then by its bytes.
    // A style sheet is rewritten as one; audio, video and PDF never are.
    const DocumentKind kind = KindOfDocument(body.ContentType(), pageUrl.View());
    StoredAs as = kind == DocumentKind::StyleSheet ? StoredAs::StyleSheet : StoredAs::Page;
    if (BinaryByExtension(localPath.View()).value_or(body.IsBinary()) ||
        kind == DocumentKind::Media) {
      as = StoredAs::AsIs;
    }
    stored_.AddPage(pageUrl, localPath, as);
    if (redirected) {
      fetchedUrls_.Add(pageUrl.View());
      stored_.AddRedirectedPage(entry.Url, localPath);
    }
    if (list_.IsTemporary(&entry)) {
      // Temporary entries belong to this thread alone.
      entry.HasLastTime = body.NewHasTime();
      entry.LastTime = body.NewTime();
    } else {
      view_.UpdateEntry(entry, EntryUpdate{1, localPath, body.NewHasTime(), body.NewTime()});
      updatedEntries_.push_back(&entry);
    }
    return pageUrl;
  }

  // Waits for the download of key, whether fetched ahead or not. A download
  // that found the disk (nearly) full stops the patrol.
  FetchOutcome Take(const FetchKey& key) {
    FetchOutcome outcome = ahead_.Take(key, &view_);
    if (outcome.Report.Failure == FetchFailure::OutOfSpace) {
      storage_.NoteOutOfSpace(setup_.ProgramFolder);
    }
    return outcome;
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
      view_.SetState(PatrolState::Downloading);
      ahead_.Plan(planner_.FromImage(index, links, position));
      StoreImage(*image, folder);
    }
  }

  // Fetches the image at url and stores it, or, when the server says that
  // the earlier copy is current, stores that copy again under the name the
  // download would have had. Either way it is recorded alike.
  void StoreImage(const WideString& image, const WideString& folder) {
    FetchOutcome fetched = Take(planner_.ImageRequest(image.View()));
    HistoryCheck check = CheckOfFetch(image.View(), CheckedKind::Image, fetched, {});
    WideString localPath;
    std::optional<bool> stored;
    if (fetched.Report.Answer == FetchAnswer::NotModified &&
        !(stored = journal_.StoreEarlierImage(image.View(), folder, storage_, check, localPath))) {
      // The copy was changed or lost since it was stored: download it.
      fetched = Take(planner_.ImageRequest(image.View()));
      check = CheckOfFetch(image.View(), CheckedKind::Image, fetched, {});
    }
    if (fetched.Result != 0) {
      stored = storage_.Store(*fetched.Body, folder, image.View(), localPath);
      *stored ? NoteStoredCopy(check, localPath.View()) : NoteStoreFailed(check);
    }
    journal_.Record(check);
    if (!stored.value_or(false)) {
      return;  // as for pages: no record for a file that was not stored
    }
    fetchedUrls_.Add(image.View());
    stored_.AddImage(image, localPath);
    const std::u16string& redirectedUrl = fetched.Report.RedirectedUrl;
    if (!redirectedUrl.empty()) {
      fetchedUrls_.Add(redirectedUrl);
      stored_.AddImage(WideString(redirectedUrl), localPath);
    }
  }

  // Inserts the admitted frames, then the admitted links, right after the
  // entry at index, each group in document order: the walk is depth-first
  // in pre-order.
  void QueueFramesAndLinks(int32_t index, const UrlEntry& entry, const PageLinks& links) {
    int32_t inserted = 0;
    VisitChildLinks(links, entry.Url.View(), RulesOf(list_, entry), list_, fetchedUrls_,
                    [&](std::u16string_view url, const PageRules& child) {
                      list_.InsertTemporary(index + inserted + 1,
                                            MakeChildEntry(entry, url, child.LinkLevel),
                                            child.FrameHops);
                      ++inserted;
                      return ChildVisit::Next;
                    });
  }

  PatrolView& view_;
  PatrolList& list_;
  const PatrolSettings& settings_;
  const PatrolSetup& setup_;
  PatrolJournal& journal_;
  const FetchLimits fetchLimits_;
  BodyStore bodies_;
  PatrolStorage storage_;
  FetchedUrlList fetchedUrls_;
  StoredFiles stored_;
  FetchAhead ahead_;
  FetchPlanner planner_;
  bool cancelLeftWork_ = false;
  std::vector<const UrlEntry*> updatedEntries_;
};

// Runs the patrol of params.List, records it, and fills in report; true when a disk filled up.
bool RunRecorded(const PatrolParams& params, const PatrolSettings& settings,
                 const PatrolLimits& limits, platform::HttpConnections& http,
                 CancelWatch& cancelWatch, const std::u16string& programFolder,
                 PatrolReport& report) {
  PatrolJournal journal(params.Trigger, settings.Change);
  const platform::CodePage ansi(platform::AnsiCodePageName());
  const PatrolSetup setup{programFolder,
                          RewriteSetup{ansi, ansi.Encode(programFolder + u"null.gif")}};
  Patrol patrol(*params.View, *params.List, settings, limits, http, cancelWatch, setup, journal);
  patrol.RunMainLoop();
  patrol.RewritePages();
  patrol.ShowProblems();
  journal.Finish(*params.View, report);
  report.StoppedByCancel = patrol.CancelLeftWork() || cancelWatch.GaveUp();
  report.UpdatedEntries = patrol.UpdatedEntries();
  return patrol.RanOutOfSpace();
}

}  // namespace

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
  PatrolSettings settings = ReadPatrolSettings();
  if (limits.ReceiveTimeoutMs) {
    settings.Session.ReceiveTimeoutMs = *limits.ReceiveTimeoutMs;
  }
  if (limits.LeftWaitingMs) {
    settings.Session.LeftWaitingMs = *limits.LeftWaitingMs;
  }
  // The watch outlives the connections that ask it.
  CancelWatch cancelWatch(limits.CancelGrace);
  std::unique_ptr<platform::HttpConnections> http =
      platform::HttpConnections::Open(settings.Session, settings.Connections);
  if (http == nullptr) {
    view.ShowError(PatrolError{PatrolErrorKind::NoHttpSession, {}, 0});
    // The view must still learn that the patrol is over, or the dialog
    // would wait for ever.
    view.Finished();
    return kPatrolNoSession;
  }
  RemoveStaleTemporaries(*params.List, programFolder, settings.SaveFolder);
  // The numbered download files of a killed patrol would count against the
  // free-space floor for ever; under the starter's instance lock no other
  // patrol can be using them.
  platform::RemoveDownloadTemporaries(programFolder);
  const bool outOfSpace =
      RunRecorded(params, settings, limits, *http, cancelWatch, programFolder, report);
  params.List->RemoveTemporaries();
  http.reset();
  view.Finished();
  return outOfSpace ? kPatrolOutOfSpace : kPatrolDone;
}

}  // namespace kivo
