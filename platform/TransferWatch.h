#pragma once

#include <chrono>
#include <cstdint>

#include "platform/HttpError.h"

namespace kivo::platform {

// Decides when a server holds a transfer for too long, from the bytes that arrive and the
// time that passes. It reads no clock: every call is given the time, as a reading of a
// waiting clock that runs only while its owner waits for the network, so a transfer is never
// blamed for time its owner spent on other work. Headers, body and trailers count alike.
//
// Three floors, each far below what a slow but honest server sends:
// - a stall: no byte for a whole receive time-out;
// - a drip: fewer than kMinBytesPerWindow bytes over a receive time-out, in windows that
//   follow each other without overlap, since a drip is never quite silent;
// - a trickle: once the transfer has run kAverageGrace (or a receive time-out, if longer),
//   fewer than kMinAverageBytesPerSecond on average since it connected. A steady trickle
//   passes every window, but not this; so no transfer lasts longer than its size divided by
//   this rate.
class TransferWatch {
 public:
  using Duration = std::chrono::steady_clock::duration;

  static constexpr uint64_t kMinBytesPerWindow = 1024;
  static constexpr uint64_t kMinAverageBytesPerSecond = 1024;
  static constexpr std::chrono::seconds kAverageGrace{60};

  // Watches nothing until Begin. A receive time-out of 0 turns the stall and drip floors off;
  // the trickle floor holds whatever the time-out.
  explicit TransferWatch(std::chrono::milliseconds receiveTimeout = {});

  // Starts the watch when the transfer has connected.
  void Begin(Duration now);
  // True once Begin was called.
  bool Begun() const { return begun_; }
  // Counts `bytes` that arrived at `now`.
  void Received(uint64_t bytes, Duration now);
  // Gives the floor that the transfer has fallen under at `now` (ReceiveTimeout for a stall,
  // TooSlow for a drip or a trickle), or None; a window that passed makes way for the next.
  HttpError Check(Duration now);
  // How long after `now` the transfer can fall under a floor if nothing more arrives;
  // Duration::max() when it cannot.
  Duration Remaining(Duration now) const;

 private:
  Duration AverageDeadline() const;

  Duration receiveTimeout_;
  bool begun_ = false;
  Duration begunAt_{};
  Duration lastDataAt_{};
  Duration windowStart_{};
  uint64_t windowBytes_ = 0;
  uint64_t totalBytes_ = 0;
};

}  // namespace kivo::platform
