#pragma once

#include <cstdint>
#include <functional>
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

// Stores tempPath under a free name in folder (folder ends with '/'); localPath receives the chosen
// full path in every case. True when the file was stored.
//
// The stored file is a hard link to tempPath, so it costs neither a copy nor space; only where the
// file system cannot link the two is the file copied. The download must therefore never be
// rewritten in place afterwards. The target is created exclusively and never through a symbolic
// link; a name taken meanwhile, or one the program keeps for itself, moves the search on to the
// next candidate. When every suffix is taken, localPath is emptied so
// that it names no one else's file. Where a copy must be made, mayCopy (when
// given) is asked first, and a false refuses the copy, e.g. for lack of space.
bool SaveAsLocalCopy(std::u16string_view tempPath, std::u16string_view folder,
                     std::u16string_view url, WideString& localPath,
                     const std::function<bool()>& mayCopy = nullptr);

// Stores `bytes` under a free name in folder, as SaveAsLocalCopy does: the file is created
// exclusively under the first free candidate name and written in one call. True when it was
// stored; a file that could not be written whole is removed again.
bool SaveBytesAsLocalCopy(std::string_view bytes, std::u16string_view folder,
                          std::u16string_view url, WideString& localPath);

}  // namespace kivo
