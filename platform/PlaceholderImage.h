#pragma once

#include <span>
#include <string>

namespace kivo::platform {

// Returns the bytes of the built-in placeholder image: a transparent GIF of
// one pixel that stands in for images a patrol did not fetch.
std::span<const unsigned char> PlaceholderImageBytes();

// Returns the full path of "null.gif" in the program folder.
std::u16string PlaceholderImagePath();

// Writes the built-in image to PlaceholderImagePath() when nothing is there
// yet; an existing file is left alone. True when the file is in place.
bool InstallPlaceholderImage();

}  // namespace kivo::platform
