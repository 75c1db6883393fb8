#pragma once

#include <string_view>

namespace kivo {

// Returns the last component of a local path: the text after its last "/",
// or the whole path when it has none.
constexpr std::u16string_view LocalFileName(std::u16string_view path) {
  const size_t slash = path.rfind(u'/');
  return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

// Returns the folder part of a local path: the text up to and including its
// last "/", or the empty text when it has none.
constexpr std::u16string_view LocalFolderOf(std::u16string_view path) {
  const size_t slash = path.rfind(u'/');
  return slash == std::u16string_view::npos ? std::u16string_view() : path.substr(0, slash + 1);
}

}  // namespace kivo
