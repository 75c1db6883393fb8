#include "patrol/DownloadBody.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "patrol/FileType.h"
#include "platform/HostFile.h"
#include "platform/NewFile.h"

namespace kivo {
namespace {

// The free space is asked for again after every stretch of this many bytes, not for each piece.
constexpr uint64_t kFreeSpaceStride = 1u << 20;

}  // namespace

DownloadBody::DownloadBody(BodyStore& store, std::optional<std::pair<int32_t, SystemTime>> stored,
                           RequestKind request, BodyRole role)
    : store_(store),
      request_(request),
      role_(role),
      testTime_(stored.has_value()),
      storedHasTime_(stored ? stored->first : 0),
      storedTime_(stored ? stored->second : SystemTime()) {
  newTime_ = storedTime_;
  store_.Register(this);
}

DownloadBody::~DownloadBody() {
  store_.Release(held_);
  ReleaseFile();
  store_.Unregister(this);
}

void DownloadBody::Commit() {
  role_ = BodyRole::Committed;
  store_.Release(held_);
  held_ = 0;
}

bool DownloadBody::Drop() {
  outcome_ = BodyOutcome::Dropped;
  Discard();
  return false;
}

void DownloadBody::Discard() {
  ReleaseFile();
  store_.Release(held_);
  held_ = 0;
  bytes_ = std::vector<uint8_t>();
}

void DownloadBody::ReleaseFile() {
  Reserve(0);
  if (number_ < 0) {
    return;
  }
  file_.Reset();
  platform::RemoveFile(FilePath());
  store_.ReleaseNumber(number_);
  number_ = -1;
}

bool DownloadBody::OnHead(const platform::HttpResponseHead& head) {
  facts_.Status = head.Status;
  facts_.LastModified = head.LastModifiedTime();
  facts_.ETag = head.ETagValue().value_or(std::string());
  // A 304 has no body, so its head is taken: the transfer then ends in order
  // and its connection carries the next request instead of being dropped.
  if (head.Status == 304 && request_ == RequestKind::Conditional) {
    outcome_ = BodyOutcome::NotModified;
    return true;
  }
  // Only a 200 carries the page. An error page, a 204 or a 304 that nobody asked for, or a
  // redirect without a Location is a failed fetch, not a changed page.
  if (head.Status != 200) {
    outcome_ = BodyOutcome::Refused;
    return false;
  }
  if (testTime_) {
    if (const auto received = head.LastModifiedTime()) {
      if (storedHasTime_ != 0 && SameSecond(*received, storedTime_)) {
        outcome_ = BodyOutcome::Unchanged;
        return false;
      }
      newHasTime_ = 1;
      newTime_ = *received;
    }
  }
  total_ = head.ContentLengthValue();
  const uint64_t maxBytes = store_.Limits().MaxBytes;
  if (maxBytes != 0 && total_ && *total_ > maxBytes) {
    return Fail(FetchFailure::TooLarge);
  }
  outcome_ = BodyOutcome::Accepted;
  headAccepted_ = true;
  contentType_ = head.ContentType.value_or(std::string());
  if (total_ && KeepsInMemory(static_cast<size_t>(*total_))) {
    // The room set aside is memory taken, whether or not the bytes ever come.
    bytes_.reserve(static_cast<size_t>(*total_));
    HoldInMemory(static_cast<size_t>(*total_));
  }
  return true;
}

bool DownloadBody::OnBody(const uint8_t* data, size_t size) {
  if (outcome_ != BodyOutcome::Accepted) {
    return false;  // no body was wanted, such as one sent after a 304, or it was dropped
  }
  const FetchLimits& limits = store_.Limits();
  if (limits.MaxBytes != 0 && size_ + size > limits.MaxBytes) {
    return Fail(FetchFailure::TooLarge);
  }
  digest_.Update(std::string_view(reinterpret_cast<const char*>(data), size));
  if (number_ < 0) {
    if (KeepsInMemory(size)) {
      bytes_.insert(bytes_.end(), data, data + size);
      HoldInMemory(size);
      size_ += size;
      return true;
    }
    if (!SpillToFile()) {
      return false;
    }
  }
  if (!WriteToFile(data, size)) {
    return false;
  }
  size_ += size;
  return true;
}

std::string_view DownloadBody::Bytes() const {
  return std::string_view(reinterpret_cast<const char*>(bytes_.data()), bytes_.size());
}

std::u16string DownloadBody::FilePath() const {
  return store_.TemporaryPath(number_);
}

bool DownloadBody::FinishFile() {
  if (number_ < 0 || !file_.IsValid()) {
    return true;
  }
  if (!file_.Reset()) {
    // A close that fails may have lost the last bytes (e.g. on a full network file system).
    Fail(platform::LastErrorIsOutOfSpace() ? FetchFailure::OutOfSpace : FetchFailure::None);
    return false;
  }
  return true;
}

bool DownloadBody::IsBinary() const {
  if (number_ >= 0) {
    return IsBinaryFile(FilePath());  // the name ends in .tmp, so its first bytes decide
  }
  return HasBinarySignature(Bytes());
}

const std::optional<platform::Sha256Digest>& DownloadBody::Digest() {
  if (!final_) {
    final_.emplace(digest_.Final());
  }
  return *final_;
}

bool DownloadBody::Fail(FetchFailure failure) {
  outcome_ = BodyOutcome::Failed;
  failure_ = failure;
  return false;
}

bool DownloadBody::KeepsInMemory(size_t size) const {
  return size_ + size <= kMemoryBodyBytes &&
         (role_ == BodyRole::Committed || store_.MayHold(Growth(size)));
}

uint64_t DownloadBody::Growth(size_t size) const {
  return size_ + size > held_ ? size_ + size - held_ : 0;
}

void DownloadBody::HoldInMemory(size_t size) {
  if (role_ == BodyRole::Ahead) {
    const uint64_t growth = Growth(size);
    store_.Hold(growth);
    held_ += growth;
  }
}

bool DownloadBody::SpillToFile() {
  number_ = store_.TakeNumber();
  const std::u16string path = FilePath();
  // A file left by an earlier run under this number is replaced, never written through.
  platform::RemoveFile(path);
  platform::NewFile output = platform::CreateNewFile(path);
  if (output.Outcome != platform::CreateOutcome::Created) {
    store_.ReleaseNumber(number_);
    number_ = -1;
    // Fetched ahead, it is asked for again at its turn, when it may fit in memory.
    return role_ == BodyRole::Ahead ? Drop() : Fail(FetchFailure::None);
  }
  file_ = std::move(output.File);
  const std::vector<uint8_t> inMemory = std::move(bytes_);
  bytes_ = std::vector<uint8_t>();
  store_.Release(held_);
  held_ = 0;
  const uint64_t before = size_;
  size_ = 0;
  if (!inMemory.empty() && !WriteToFile(inMemory.data(), inMemory.size())) {
    return false;
  }
  size_ = before;
  return true;
}

bool DownloadBody::WriteToFile(const uint8_t* data, size_t size) {
  if (!KeepsFloor(size)) {
    return false;
  }
  if (!platform::WriteAll(file_.Get(), data, static_cast<int64_t>(size))) {
    if (role_ == BodyRole::Ahead) {
      return Drop();
    }
    return Fail(platform::LastErrorIsOutOfSpace() ? FetchFailure::OutOfSpace : FetchFailure::None);
  }
  // What is written shows in the free space from now on.
  Reserve(reserved_ - std::min<uint64_t>(reserved_, size));
  return true;
}

// Checks, once per stretch of kFreeSpaceStride bytes, that the stretch leaves the floor free
// beside what the other bodies have been promised, and promises it to this one.
bool DownloadBody::KeepsFloor(size_t size) {
  const FetchLimits& limits = store_.Limits();
  if (limits.MinFreeBytes == 0 || size_ < nextProbe_) {
    return true;
  }
  nextProbe_ = size_ + kFreeSpaceStride;
  // Room for the next stretch must remain above the floor; a known length may need less.
  uint64_t coming = kFreeSpaceStride;
  if (total_ && *total_ > size_) {
    coming = std::min(coming, *total_ - size_);
  }
  coming = std::max<uint64_t>(coming, size);
  const std::u16string path = FilePath();
  for (;;) {
    const std::optional<uint64_t> free =
        limits.FreeSpace ? limits.FreeSpace(path) : platform::FreeBytes(path);
    const uint64_t others = store_.Reserved() - reserved_;
    if (!free || *free >= limits.MinFreeBytes + others + coming) {
      Reserve(coming);
      return true;
    }
    if (role_ == BodyRole::Ahead) {
      return Drop();
    }
    // With one connection the downloads fetched ahead would not exist: their files go first.
    if (!store_.DropNewestSpilled()) {
      return Fail(FetchFailure::OutOfSpace);
    }
  }
}

void DownloadBody::Reserve(uint64_t count) {
  store_.Unreserve(reserved_);
  reserved_ = count;
  store_.Reserve(count);
}

}  // namespace kivo
