#include "patrol/FetchProgress.h"

namespace kivo {

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
