#pragma once

#include <cstdint>
#include <string>

#include "platform/StorageSpace.h"

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

// What a download tells beyond its result.
struct FetchReport {
  FetchFailure Failure = FetchFailure::None;
  // The URL the body came from after redirects; empty when none was followed.
  std::u16string RedirectedUrl;
};

}  // namespace kivo
