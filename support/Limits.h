#pragma once

#include <cstdint>

namespace kivo {

// The lengths the list file, the settings and the fetcher hold text to, in
// UTF-16 units without a terminator. Every check and every message that names
// a limit takes it from here, so the two can never disagree.

// A URL, a title or a server prefix of an entry; also a request path.
inline constexpr int32_t kMaxUrlLength = 1023;
inline constexpr int32_t kMaxPathLength = 1023;
// A folder path: the save folder and an entry's own folder, before the final
// "/" that storing appends. Folders are not cut to the 259 characters of old
// path buffers: every string that holds one grows as needed.
inline constexpr int32_t kMaxFolderChars = 1023;
// A host name in a URL, and the proxy name of the settings.
inline constexpr int32_t kMaxHostLength = 255;
inline constexpr int32_t kMaxProxyNameChars = 255;
// The name of the dial-up entry to dial (DialupEntry); a longer name is
// stored cut to this length.
inline constexpr int32_t kMaxDialupEntryChars = 20;

}  // namespace kivo
