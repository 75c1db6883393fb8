#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "support/WideString.h"

namespace kivo {

// The last k for which LocalCopySuffix gives a suffix ("ZZZZ"); beyond it the letters would
// leave A-Z.
inline constexpr int32_t kMaxLocalCopySuffix = 456975;

// Returns the k-th retry suffix S(k) of capital letters, with its strict thresholds (so "A"
// comes again at k = 26, 676 and 17576), or nothing when k is negative or above
// kMaxLocalCopySuffix.
std::optional<WideString> LocalCopySuffix(int32_t k);

// Copies tempPath to a free name in folder (folder ends with '/'); localPath receives the chosen
// full path in every case. True when the copy succeeded.
//
// The target is created exclusively and never through a symbolic link; a name taken meanwhile
// moves the search on to the next candidate. When every suffix is taken, localPath is emptied so
// that it names no one else's file.
bool SaveAsLocalCopy(std::u16string_view tempPath, std::u16string_view folder,
                     std::u16string_view url, WideString& localPath);

}  // namespace kivo
