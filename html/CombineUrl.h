#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "support/Limits.h"
#include "support/WideString.h"

namespace kivo {

// Resolves `relative` against `base` by the rules for relative references
// (RFC 3986, section 5.2) and returns the absolute URL, or nullopt when it
// would be longer than kMaxUrlLength characters.
//
// The base's own fragment is dropped first when its last "#" lies after its
// last "/". Everything works on the raw text: nothing is percent-encoded or
// decoded, letter case, hosts and ports stay as written, "\" is an ordinary
// character, and a reference that has a scheme is returned as it stands. The
// one addition: a reference that brings a query to an http(s) URL with an
// empty path gets the path "/" ("?p=2" on "http://host" gives
// "http://host/?p=2").
std::optional<WideString> CombineUrl(std::u16string_view base, std::u16string_view relative);

}  // namespace kivo
