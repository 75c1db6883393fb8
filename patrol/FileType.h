#pragma once

#include <optional>
#include <string_view>

namespace kivo {

// Returns true for an image, video or archive file, told by the extension after the last '.'
// of the whole path or else by the first 16 bytes; false for anything treated as a page,
// including a missing or unreadable file with an unlisted extension.
bool IsBinaryFile(std::u16string_view path);

// Returns what the extension after the last '.' of the whole path says: true for an image,
// video or archive type, false for HTML, nothing when it says neither.
std::optional<bool> BinaryByExtension(std::u16string_view path);

// Returns true when the first bytes of `head` carry an image or archive signature, as
// IsBinaryFile tests a file whose extension says nothing.
bool HasBinarySignature(std::string_view head);

}  // namespace kivo
