#pragma once

#include <cstdint>
#include <string_view>

namespace kivo {

// The sink for controls 1006 (byte-count text) and 1007 (percentage).
class FetchProgress {
 public:
  virtual ~FetchProgress() = default;
  virtual void SetByteText(std::u16string_view text) = 0;  // "", "0", "0/%d", "%d", "%d/%d"
  virtual void SetPercent(int32_t percent) = 0;            // 0..100
};

}  // namespace kivo
