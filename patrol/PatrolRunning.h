#pragma once

#include <atomic>
#include <cstdint>

namespace kivo {

// The cancel flag of the one patrol that may run at a time. Whoever starts a
// patrol sets it to 1; its Cancel control sets it to 0. The worker only reads
// it, before each entry and before each image. It is atomic because the two
// sides run on different threads (or in a signal handler, for the command
// line), and a lock-free atomic is safe in both places.
extern std::atomic<int32_t> PatrolRunning;

static_assert(std::atomic<int32_t>::is_always_lock_free,
              "PatrolRunning is written from a signal handler");

}  // namespace kivo
