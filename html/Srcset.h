#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace kivo {

// Where the URL of one image candidate of a srcset stands.
struct SrcsetUrl {
  size_t Offset = 0;
  size_t Length = 0;
};

// Returns the URL of the next image candidate of `srcset` at or after `pos`
// and moves `pos` past the candidate's descriptors, or returns nullopt when
// no candidate is left. A candidate is read as a browser reads it: commas
// and blanks before it are skipped, its URL runs to the next blank (less any
// commas at its end), and its descriptors run to the next comma outside
// parentheses.
std::optional<SrcsetUrl> NextSrcsetUrl(std::string_view srcset, size_t& pos);

}  // namespace kivo
