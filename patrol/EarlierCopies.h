#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "patrol/HistoryQueries.h"
#include "patrol/HistoryRecords.h"
#include "platform/HttpValidators.h"
#include "urllist/Settings.h"
#include "urllist/UrlEntry.h"

namespace kivo {

// What the history knows of the copies that earlier patrols stored, as one
// patrol's requests and content test need it. Each copy and each image URL
// is looked up once and then kept for the patrol, since the fetch-ahead asks
// for the same requests again and again while it plans. With the change test
// LastModified nothing is looked up and no request carries a validator.
class EarlierCopies {
 public:
  // Asks `queries` (null: no history), which must outlive the object.
  EarlierCopies(HistoryQueries* queries, ChangeTest test) : queries_(queries), test_(test) {}
  EarlierCopies(const EarlierCopies&) = delete;
  EarlierCopies& operator=(const EarlierCopies&) = delete;

  // Returns the validators of the request for the page of the user entry
  // `entry`: If-Modified-Since from its Last-Modified time, If-None-Match from
  // the ETag recorded with its current copy.
  platform::HttpValidators ForEntry(const UrlEntry& entry);
  // Returns the record of the check that stored the copy at `localFile`, or
  // null when the history does not know it or the file is no longer there.
  const HistoryCheck* CopyAt(std::u16string_view localFile);

  // Returns the validators of the request for image `url`: those recorded
  // with its newest stored copy, when that copy is still on disk with the
  // size and modification time it was stored with and its digest is known.
  platform::HttpValidators ForImage(std::u16string_view url);
  // Returns the copy that ForImage's validators came from, or null.
  const HistoryCheck* ImageCopy(std::u16string_view url);
  // Forgets the copy of image `url`, which turned out unusable, so that its
  // requests carry no validator from now on.
  void DropImage(std::u16string_view url);

 private:
  bool LooksUp() const { return queries_ != nullptr && test_ != ChangeTest::LastModified; }

  HistoryQueries* queries_;
  const ChangeTest test_;
  std::unordered_map<std::u16string, std::optional<HistoryCheck>> copies_;  // by path
  std::unordered_map<std::u16string, std::optional<HistoryCheck>> images_;  // by URL
};

// Returns the validators that `copy` recorded: its Last-Modified time and its ETag.
platform::HttpValidators ValidatorsOf(const HistoryCheck& copy);

}  // namespace kivo
