#pragma once

#include <atomic>
#include <cstdint>

namespace kivo {

// The values of PatrolRunning.
inline constexpr int32_t kPatrolGoing = 1;       // the patrol runs
inline constexpr int32_t kPatrolCancelled = 0;   // Cancel: the current download may finish
inline constexpr int32_t kPatrolAbandoned = -1;  // stop at once: the download is given up too

// The cancel flag of the one patrol that may run at a time. Whoever starts a
// patrol sets it to kPatrolGoing; its Cancel control sets it to
// kPatrolCancelled, and only the command line's second Ctrl-C or a SIGTERM
// sets kPatrolAbandoned. The worker only reads it: before each entry and
// image, and while a download waits. It is atomic because the two sides run
// on different threads (or in a signal handler, for the command line), and a
// lock-free atomic is safe in both places.
extern std::atomic<int32_t> PatrolRunning;

static_assert(std::atomic<int32_t>::is_always_lock_free,
              "PatrolRunning is written from a signal handler");

}  // namespace kivo
