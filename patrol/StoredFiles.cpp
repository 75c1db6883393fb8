#include "patrol/StoredFiles.h"

#include <memory>

#include "platform/HostFile.h"
#include "platform/PendingReplacements.h"
#include "urllist/UrlMapping.h"

namespace kivo {

void StoredFiles::AddPage(const WideString& url, const WideString& localPath, StoredAs as) {
  const FetchedFile* record =
      pages_.Add(std::make_unique<FetchedFile>(FetchedFile{url, localPath}));
  if (as == StoredAs::AsIs) {
    asIs_.insert(record);
  } else if (as == StoredAs::StyleSheet) {
    styleSheets_.insert(record);
  }
}

void StoredFiles::AddRedirectedPage(const WideString& askedUrl, const WideString& localPath) {
  aliases_.insert(pages_.Add(std::make_unique<FetchedFile>(FetchedFile{askedUrl, localPath})));
}

void StoredFiles::AddImage(const WideString& url, const WideString& localPath) {
  // Images are never rewritten, so a second record needs no care.
  images_.Add(std::make_unique<FetchedFile>(FetchedFile{url, localPath}));
}

void StoredFiles::RewritePages(const RewriteSetup& setup) const {
  platform::PendingReplacements rewritten;
  for (int32_t i = 0; i < pages_.Count(); ++i) {
    const FetchedFile* page = pages_[i];
    if (page == nullptr || aliases_.contains(page) || asIs_.contains(page)) {
      continue;
    }
    if (styleSheets_.contains(page)) {
      RewriteStyleSheet(page->LocalPath.View(), *page, images_, pages_, setup, rewritten);
    } else {
      RewriteLinks(page->LocalPath.View(), *page, images_, pages_, setup, rewritten);
    }
  }
  // The copies stored in this patrol must be on disk before the list that
  // names them is saved, even where no page was rewritten.
  for (const FetchedFileList* files : {&pages_, &images_}) {
    for (int32_t i = 0; i < files->Count(); ++i) {
      if (const FetchedFile* file = (*files)[i]) {
        rewritten.KeepDurable(platform::HostPath(FolderOfPath(file->LocalPath.View())));
      }
    }
  }
  rewritten.Commit();
}

}  // namespace kivo
