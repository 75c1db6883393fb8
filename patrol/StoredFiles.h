#pragma once

#include <unordered_set>

#include "html/FetchedFile.h"
#include "html/FetchedFileList.h"
#include "html/RewriteLinks.h"
#include "support/WideString.h"

namespace kivo {

// How the rewrite pass treats a file stored as a page.
enum class StoredAs {
  Page,        // its links are rewritten
  StyleSheet,  // its @import targets and url() images are rewritten
  AsIs,        // an image, video, archive or medium: never rewritten
};

// The records of the files that one patrol stored, by the URL each came from, and the rewrite
// pass that makes the stored pages refer to each other. A file that a redirect led to has a
// second record under the URL it was asked for, so that links of either kind find it.
class StoredFiles {
 public:
  // Returns the records of the pages (frames, style sheets and linked files too), in order.
  const FetchedFileList& Pages() const { return pages_; }
  // Returns the records of the images, in order.
  const FetchedFileList& Images() const { return images_; }

  // Records a page stored at localPath from url, to be rewritten as `as` says.
  void AddPage(const WideString& url, const WideString& localPath, StoredAs as);
  // Records the second name of a page recorded before: the URL that redirected to it.
  void AddRedirectedPage(const WideString& askedUrl, const WideString& localPath);
  // Records an image stored at localPath from url, or from a URL that redirected to it.
  void AddImage(const WideString& url, const WideString& localPath);

  // Rewrites the links of every page recorded so far. The new pages are synced to disk
  // together and only then put in place.
  void RewritePages(const RewriteSetup& setup) const;

 private:
  FetchedFileList pages_;
  FetchedFileList images_;
  // The second records of redirected pages: each file is rewritten once, against the URL it
  // came from.
  std::unordered_set<const FetchedFile*> aliases_;
  std::unordered_set<const FetchedFile*> asIs_;
  std::unordered_set<const FetchedFile*> styleSheets_;
};

}  // namespace kivo
