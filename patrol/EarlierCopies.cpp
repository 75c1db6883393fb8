#include "patrol/EarlierCopies.h"

#include "platform/HostFile.h"
#include "platform/HttpDate.h"

namespace kivo {
namespace {

// Keeps only the validators that can be sent as they are, so that a request
// counts as conditional exactly when it carries one and a 304 to it means
// what it says.
platform::HttpValidators Sendable(std::optional<SystemTime> time, const std::string& etag) {
  platform::HttpValidators validators;
  if (time && platform::FormatHttpDate(*time)) {
    validators.IfModifiedSince = time;
  }
  if (platform::IsAcceptableEtag(etag)) {
    validators.IfNoneMatch = etag;
  }
  return validators;
}

// True when the stored copy is still the file that was recorded: there,
// with its size and modification time, and with a digest to check it by.
bool StillOnDisk(const HistoryCheck& copy) {
  if (!copy.BodyDigest || !copy.StoredSize || !copy.StoredModified) {
    return false;
  }
  const std::optional<platform::FileStamp> stamp = platform::StampOf(copy.StoredPath);
  return stamp && stamp->Size == *copy.StoredSize && stamp->ModifiedNs == *copy.StoredModified;
}

}  // namespace

platform::HttpValidators ValidatorsOf(const HistoryCheck& copy) {
  return Sendable(copy.LastModified, copy.ETag);
}

platform::HttpValidators EarlierCopies::ForEntry(const UrlEntry& entry) {
  if (test_ == ChangeTest::LastModified) {
    return {};
  }
  const HistoryCheck* copy = CopyAt(entry.LocalFile.View());
  return Sendable(entry.HasLastTime != 0 ? std::optional(entry.LastTime) : std::nullopt,
                  copy != nullptr ? copy->ETag : std::string());
}

const HistoryCheck* EarlierCopies::CopyAt(std::u16string_view localFile) {
  if (queries_ == nullptr || localFile.empty()) {
    return nullptr;
  }
  const auto [known, added] = copies_.try_emplace(std::u16string(localFile));
  // A copy that is gone proves nothing: judged by its record, the page
  // would never be stored again and the entry would name a missing file.
  if (added && platform::StampOf(localFile)) {
    known->second = queries_->CopyAt(localFile);
  }
  return known->second ? &*known->second : nullptr;
}

platform::HttpValidators EarlierCopies::ForImage(std::u16string_view url) {
  const HistoryCheck* copy = ImageCopy(url);
  return copy != nullptr ? ValidatorsOf(*copy) : platform::HttpValidators();
}

const HistoryCheck* EarlierCopies::ImageCopy(std::u16string_view url) {
  if (!LooksUp()) {
    return nullptr;
  }
  const auto [known, added] = images_.try_emplace(std::u16string(url));
  if (added) {
    std::optional<HistoryCheck> copy = queries_->LatestCopyOf(url, CheckedKind::Image);
    if (copy && StillOnDisk(*copy) && ValidatorsOf(*copy).Any()) {
      known->second = std::move(copy);
    }
  }
  return known->second ? &*known->second : nullptr;
}

void EarlierCopies::DropImage(std::u16string_view url) {
  images_[std::u16string(url)].reset();
}

}  // namespace kivo
