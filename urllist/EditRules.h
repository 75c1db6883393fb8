#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "support/Limits.h"
#include "support/WideString.h"
#include "urllist/Settings.h"

namespace kivo {

// The range of an entry's link level as the editors store it.
inline constexpr int32_t kMinLinkLevel = 0;
inline constexpr int32_t kMaxLinkLevel = 99;

// Reads text as an unsigned decimal number (spaces around it are allowed),
// saturating at UINT32_MAX; nothing when the text is not such a number.
std::optional<uint32_t> ParseUnsignedDecimal(std::u16string_view text);

// Clamps a link level to 0..99.
int32_t ClampLinkLevel(int64_t level);

// Returns the link level a number field's text stores: an unsigned decimal
// number clamped to 0..99, and 0 for any other text ("", "-3", "abc").
int32_t LinkLevelFromText(std::u16string_view text);

// Clamps a time-out in seconds to 10..600.
uint32_t ClampTimeoutSeconds(uint32_t seconds);

// Returns the time-out a number field's text stores: an unsigned decimal
// number clamped to 10..600; any other text reads as 0 and so stores 10.
uint32_t TimeoutFromText(std::u16string_view text);

// Clamps a connection count to 1..16.
uint32_t ClampConnections(uint32_t connections);

// Returns the connection count a number field's text stores: an unsigned
// decimal number clamped to 1..16; any other text reads as 0, as for the
// time-outs beside it, and so stores 1.
uint32_t ConnectionsFromText(std::u16string_view text);

// Returns a folder as it is stored: the program folder when it is empty,
// otherwise the text with a final "/" appended when it lacks one. Nothing is
// cut, so a long folder keeps every character.
WideString NormaliseFolder(std::u16string_view folder);

// Returns the folder that a folder typed by the user stores: a relative one
// taken from the working directory, then normalised as above. Nothing when
// the result is longer than kMaxFolderChars, so that no caller stores a
// folder that the folder fields could not show whole again.
std::optional<WideString> NormaliseTypedFolder(std::u16string_view typed);

}  // namespace kivo
