#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "platform/StorageSpace.h"

namespace kivo {

// How long a download may go on after Cancel before it is given up as a failed fetch.
inline constexpr std::chrono::milliseconds kCancelGrace{10000};
// A download stops before the file system that holds it has less free space than this.
inline constexpr uint64_t kMinFreeBytes = uint64_t{64} << 20;
// Frames (and the style sheets and scripts that travel with them) are followed at most this
// many hops deep since the last hyperlink or the user entry. Real framesets never nest so deep;
// a server that makes up frames without end would otherwise be crawled for ever.
inline constexpr int32_t kMaxFrameHops = 8;

// The bounds a patrol keeps to. The defaults are the program's own; tests shorten the times and
// stand in for the free-space probe, so that they need neither long waits nor a full disk.
struct PatrolLimits {
  std::chrono::milliseconds CancelGrace = kCancelGrace;
  // Replaces the ReceiveTimeout setting (whole seconds, at least 10) when set. It is also the
  // window of the minimum transfer rate.
  std::optional<uint32_t> ReceiveTimeoutMs;
  // Replaces the time after which a request counts as left waiting (HttpSessionOptions).
  std::optional<uint32_t> LeftWaitingMs;
  uint64_t MinFreeBytes = kMinFreeBytes;
  // Tells the free bytes of a file system; empty: platform::FreeBytes.
  platform::FreeSpaceProbe FreeSpace;
};

}  // namespace kivo
