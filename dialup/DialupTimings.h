#pragma once

#include <chrono>
#include <cstdint>

namespace kivo {

// The pauses of the dial and hang-up sequences. Tests shorten them; the
// program uses the defaults.
struct DialupTimings {
  // From "connected" to the start of the patrol, so that the user can read
  // the status line.
  std::chrono::milliseconds ConnectedDelay{500};
  // From the start of the hang-up to the first hang-up call; Cancel during
  // this time leaves the line up.
  std::chrono::milliseconds HangUpFirstWait{1000};
  // Between two looks at the connections that are still up.
  std::chrono::milliseconds HangUpPollInterval{500};
  // How often a connection that stays up is hung up again before the
  // hang-up gives up (60 polls of 500 ms are about 30 seconds).
  int32_t HangUpMaxPolls = 60;
};

}  // namespace kivo
