#include "patrol/FetchProgress.h"

namespace kivo {

std::u16string DecimalText(uint64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

int32_t ProgressPercent(uint64_t received, uint64_t total) {
  if (received >= total) {
    return 100;
  }
  if (received > UINT64_MAX / 100) {
    return static_cast<int32_t>(received / (total / 100));
  }
  return static_cast<int32_t>(received * 100 / total);
}

}  // namespace kivo
