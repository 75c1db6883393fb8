#pragma once

#include <cstdint>
#include <optional>

namespace kivo {

// How much of the current download has arrived: the bytes received so far
// and, when the server announced a length, that total.
struct ByteCount {
  uint64_t Received = 0;
  std::optional<uint64_t> Total;

  bool operator==(const ByteCount&) const = default;
};

// The sink for the byte count (control 1006) and the percentage (control
// 1007) of the current download. The view formats the count: "%d/%d" with a
// total, "%d" without, and nothing at all for no count.
class FetchProgress {
 public:
  virtual ~FetchProgress() = default;
  // Shows the count, or clears it (nothing): a download starts with none,
  // and gets one once its head has been accepted.
  virtual void SetBytes(std::optional<ByteCount> count) = 0;
  // Shows the percentage, 0..100.
  virtual void SetPercent(int32_t percent) = 0;
};

// Returns received as a percentage of total (total > 0), computed in 64 bits
// and capped at 100: a Content-Length smaller than the data gives more.
int32_t ProgressPercent(uint64_t received, uint64_t total);

}  // namespace kivo
