#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "patrol/FetchProgress.h"
#include "platform/HttpSession.h"
#include "platform/StorageSpace.h"
#include "support/Limits.h"
#include "support/SystemTime.h"
#include "support/WideString.h"

namespace kivo {

// The prefix that SplitUrl recognised; None means the host starts at the first character.
enum class UrlScheme { None, Http, Https };

struct SplitUrlResult {
  UrlScheme Scheme = UrlScheme::None;
  // True when the host was over kMaxHostLength or the path over kMaxPathLength characters and
  // was cut; such a URL must not be fetched.
  bool Truncated = false;
};

// Splits "http://host/path" (or "https://host/path") into host (<= 255 chars) and path
// (<= 1023 chars, "/" when absent), query and fragment included in the path. The host ends at
// the first "/", "?" or "#"; a path that starts with "?" or "#" gets a "/" in front.
SplitUrlResult SplitUrl(std::u16string_view url, WideString& host, WideString& path);

// The bounds of one download.
struct FetchLimits {
  // The largest body that is stored, in bytes; 0 sets no limit.
  uint64_t MaxBytes = 0;
  // The download stops before the file system holding the output file falls under this many
  // free bytes; 0 sets no floor.
  uint64_t MinFreeBytes = 0;
  // Tells the free bytes of a file system; empty: platform::FreeBytes.
  platform::FreeSpaceProbe FreeSpace;
};

// Why FetchUrl gave 0, where the caller must tell the cases apart.
enum class FetchFailure {
  None,        // stored, unchanged, or failed in a way that needs no action
  TooLarge,    // the body exceeds FetchLimits::MaxBytes
  OutOfSpace,  // the file system is full, or would fall under FetchLimits::MinFreeBytes
};

// What FetchUrl tells beyond its result.
struct FetchReport {
  FetchFailure Failure = FetchFailure::None;
  // The URL the body came from after redirects; empty when none was followed.
  std::u16string RedirectedUrl;
};

// Downloads url into outputPath. hasTime/lastTime are given together (entries) or both null
// (images: unconditional). Returns 1 when a 200 response's body was received and written whole,
// 0 otherwise (unchanged page, any failure, any other final status). progress, limits and
// report may be null.
//
// The output file is removed first and then created anew, exclusively: a stored copy may be a
// second name of the previous download, which must never be written through.
int FetchUrl(HttpSession& session, std::u16string_view url, std::u16string_view outputPath,
             int32_t* hasTime, SystemTime* lastTime, FetchProgress* progress,
             const FetchLimits* limits = nullptr, FetchReport* report = nullptr);

}  // namespace kivo
