#include "patrol/PatrolWorker.h"

#include <memory>
#include <utility>

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
#include "patrol/PatrolRunning.h"
#include "patrol/PatrolSettings.h"
#include "platform/CodePage.h"
#include "platform/HttpSession.h"
#include "platform/NewFile.h"
#include "platform/ProgramFolder.h"
#include "urllist/UrlMapping.h"

namespace kivo {

namespace {

bool IsRunning() {
  return PatrolRunning.load() != 0;
}

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
  Patrol(PatrolView& view, PatrolList& list, const PatrolSettings& settings, HttpSession& session,
         const PatrolSetup& setup)
      : view_(view),
        list_(list),
        settings_(settings),
        session_(session),
        setup_(setup),
        tempPath_(setup.TempPath) {}

  // Processes the list in order until its end or a cancel. The count is
  // read again at every step because processing inserts after position i.
  void RunMainLoop() {
    for (int32_t i = 0; i < list_.Count() && IsRunning(); ++i) {
      ProcessEntry(i);
    }
  }

  // Rewrites the links of every page stored so far, also after a cancel.
  // The new pages are synced to disk together and only then put in place.
  void RewritePages() {
    view_.SetState(kStateRewriting);
    platform::PendingReplacements rewritten;
    for (int32_t i = 0; i < pageFiles_.Count(); ++i) {
      const FetchedFile* page = pageFiles_[i];
      if (page != nullptr && !IsBinaryFile(page->LocalPath.View())) {
        RewriteLinks(page->LocalPath.View(), *page, imageFiles_, pageFiles_, setup_.Rewrite,
                     rewritten);
      }
    }
    rewritten.Commit();
  }

 private:
  void ProcessEntry(int32_t index) {
    UrlEntry& entry = *list_[index];
    view_.SetTitle(entry.Name.View());
    view_.SetUrl(entry.Url.View());
    view_.SetState(kStateDownloading);

    int32_t hasTime = entry.HasLastTime;
    SystemTime lastTime = entry.LastTime;
    if (Fetch(entry.Url.View(), &hasTime, &lastTime) == 0) {
      return;  // unchanged or unreachable: the entry keeps all its fields
    }
    const WideString folder = FolderOf(entry);
    WideString localPath;
    // A failed copy counts as a failed fetch. Recording it would leave a
    // record without a file, and the next URL would be given the same free
    // name, so two records would share one file.
    if (!SaveAsLocalCopy(tempPath_, folder.View(), entry.Url.View(), localPath)) {
      return;
    }
    fetchedUrls_.Add(entry.Url.View());
    pageFiles_.Add(std::make_unique<FetchedFile>(FetchedFile{entry.Url, localPath}));
    if (list_.IsTemporary(&entry)) {
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
    ExtractLinks(links, entry.Url.View(), tempPath_, setup_.Rewrite.Ansi);
    if (entry.GetImages != 0) {
      FetchImages(links, folder);
    }
    QueueFramesAndLinks(index, entry, links);
    ClearPageLinks(links);
  }

  // Downloads url into the temporary file. The fetcher replaces the file
  // rather than truncating it, which also spares file systems such as ext4
  // the flush they do when a truncated file is written again.
  int Fetch(std::u16string_view url, int32_t* hasTime, SystemTime* lastTime) {
    return FetchUrl(session_, url, tempPath_, hasTime, lastTime, &view_);
  }

  void FetchImages(const PageLinks& links, const WideString& folder) {
    for (const WideString* image : links.ImageUrls) {
      if (!IsRunning()) {
        return;
      }
      if (image == nullptr || fetchedUrls_.Contains(image->View())) {
        continue;
      }
      view_.SetUrl(image->View());
      view_.SetState(kStateDownloading);
      if (Fetch(image->View(), nullptr, nullptr) == 0) {
        continue;
      }
      WideString localPath;
      if (!SaveAsLocalCopy(tempPath_, folder.View(), image->View(), localPath)) {
        continue;  // as for pages: no record for a file that was not stored
      }
      fetchedUrls_.Add(image->View());
      imageFiles_.Add(std::make_unique<FetchedFile>(FetchedFile{*image, localPath}));
    }
  }

  // Inserts the admitted frames, then the admitted links, right after the
  // entry at index, each group in document order: the walk is depth-first
  // in pre-order.
  void QueueFramesAndLinks(int32_t index, const UrlEntry& entry, const PageLinks& links) {
    const WideString entryServer = ServerOfUrl(entry.Url.View());
    int32_t inserted = 0;
    auto queue = [&](const OwnedPtrArray<WideString>& urls, int32_t linkLevel) {
      for (const WideString* url : urls) {
        if (url == nullptr ||
            !AdmitsUrl(entry, entryServer.View(), url->View(), list_, fetchedUrls_)) {
          continue;
        }
        list_.InsertTemporary(index + inserted + 1,
                              MakeTemporaryEntry(entry, url->View(), linkLevel));
        ++inserted;
      }
    };
    queue(links.FrameUrls, entry.LinkLevel);
    // Only a positive level follows links: a negative one from a hand-made
    // list file must not crawl without end.
    if (entry.LinkLevel > 0) {
      queue(links.LinkUrls, entry.LinkLevel - 1);
    }
  }

  WideString FolderOf(const UrlEntry& entry) const {
    if (entry.UseOwnFolder != 0) {
      // An empty own folder means the program folder, already resolved.
      return entry.OwnFolder.IsEmpty() ? WideString(setup_.ProgramFolder)
                                       : NormaliseFolder(entry.OwnFolder.View());
    }
    return settings_.SaveFolder;
  }

  PatrolView& view_;
  PatrolList& list_;
  const PatrolSettings& settings_;
  HttpSession& session_;
  const PatrolSetup& setup_;
  const std::u16string& tempPath_;
  FetchedUrlList fetchedUrls_;
  FetchedFileList pageFiles_;
  FetchedFileList imageFiles_;
};

}  // namespace

std::u16string TemporaryFilePath() {
  return platform::ProgramFile(kTemporaryFileName);
}

int32_t RunPatrol(const PatrolParams& params) {
  if (params.View == nullptr || params.List == nullptr) {
    return -1;
  }
  PatrolView& view = *params.View;
  const std::u16string programFolder = platform::ProgramFolder();
  const std::u16string tempPath = programFolder + std::u16string(kTemporaryFileName);
  const PatrolSettings settings = ReadPatrolSettings();
  std::unique_ptr<HttpSession> session = HttpSession::Open(settings.Session);
  if (session == nullptr) {
    view.ShowError(kInternetOpenError);
    // The view must still learn that the patrol is over, or the dialog
    // would wait for ever.
    view.Finished();
    return -1;
  }
  {
    const platform::CodePage ansi(platform::AnsiCodePageName());
    const PatrolSetup setup{programFolder, tempPath,
                            RewriteSetup{ansi, ansi.Encode(programFolder + u"null.gif")}};
    Patrol patrol(view, *params.List, settings, *session, setup);
    patrol.RunMainLoop();
    patrol.RewritePages();
  }
  params.List->RemoveTemporaries();
  platform::RemoveFile(tempPath);
  session.reset();
  view.Finished();
  return 0;
}

PatrolThread::~PatrolThread() {
  Join();
}

bool PatrolThread::Start(const PatrolParams& params) {
  if (thread_.joinable()) {
    return false;
  }
  PatrolRunning.store(1);
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
