#pragma once

#include <string_view>

namespace kivo {

// Returns true when a file, a directory or a symbolic link (even a dangling
// one) exists at `path`. The path is used unchanged.
bool FileExists(std::u16string_view path);

}  // namespace kivo
