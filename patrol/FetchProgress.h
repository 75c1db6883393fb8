#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kivo {

// The sink for controls 1006 (byte-count text) and 1007 (percentage).
class FetchProgress {
 public:
  virtual ~FetchProgress() = default;
  virtual void SetByteText(std::u16string_view text) = 0;  // "", "0", "0/%d", "%d", "%d/%d"
  virtual void SetPercent(int32_t percent) = 0;            // 0..100
};

// Returns `value` in decimal digits, as the byte-count text shows it.
std::u16string DecimalText(uint64_t value);

// Returns received as a percentage of total (total > 0), computed in 64 bits
// and capped at 100: a Content-Length smaller than the data gives more.
int32_t ProgressPercent(uint64_t received, uint64_t total);

}  // namespace kivo
