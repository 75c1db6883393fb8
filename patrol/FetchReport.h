#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/HttpError.h"
#include "platform/StorageSpace.h"
#include "support/SystemTime.h"

namespace kivo {

// The bounds of one download.
struct FetchLimits {
  // The largest body that is stored, in bytes; 0 sets no limit.
  uint64_t MaxBytes = 0;
  // The download stops before the file system holding its temporary file falls under this
  // many free bytes; 0 sets no floor.
  uint64_t MinFreeBytes = 0;
  // Tells the free bytes of a file system; empty: platform::FreeBytes.
  platform::FreeSpaceProbe FreeSpace;
};

// Why a download gave nothing, where the caller must tell the cases apart.
enum class FetchFailure {
  None,        // stored, unchanged, or failed in a way that needs no action
  TooLarge,    // the body exceeds FetchLimits::MaxBytes
  OutOfSpace,  // the file system is full, or would fall under FetchLimits::MinFreeBytes
};

// What the head of a response said, as far as the history records it.
struct ResponseFacts {
  int32_t Status = 0;  // 0 when no head arrived
  std::optional<SystemTime> LastModified;
  std::string ETag;  // as it came, when it can be kept and sent back; else empty
};

// What a download came to when its turn came.
enum class FetchAnswer {
  Body,         // a body arrived whole
  Unchanged,    // the Last-Modified time equals the entry's: nothing was read
  NotModified,  // the server answered 304 to a conditional request
  Failed,       // nothing usable came; the report says why as far as known
};

// What a download tells beyond its result.
struct FetchReport {
  FetchFailure Failure = FetchFailure::None;
  // The URL the body came from after redirects; empty when none was followed.
  std::u16string RedirectedUrl;
  FetchAnswer Answer = FetchAnswer::Failed;
  // Why the transfer failed, when it did; None for a transfer that was never
  // made (a URL that cannot be requested) as well.
  platform::HttpError Error = platform::HttpError::None;
  bool Requested = false;  // false when the URL could not be requested at all
  ResponseFacts Facts;
  uint64_t BytesReceived = 0;
};

}  // namespace kivo
