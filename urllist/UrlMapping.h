#pragma once

#include <string_view>

#include "support/WideString.h"

namespace kivo {

// Returns the server part of a URL: the text after "http://" or "https://" (case-sensitive)
// up to the first "/", "?" or "#", port included; without either prefix, the text before the
// first of them.
WideString ServerOfUrl(std::u16string_view url);

// Returns the file-name part of a URL: the text after its last "/", cut at the first "?", ";"
// and "#", or "index.html" when that is empty or the URL names only a host.
WideString FileNameOfUrl(std::u16string_view url);

// Returns the text after the last '/' of a local path, or the whole path when it has none.
WideString FileNameOfPath(std::u16string_view path);

// Returns the folder part of a local path: the text up to and including its last '/', or the
// empty text when it has none. With FileNameOfPath it splits a path in two.
std::u16string_view FolderOfPath(std::u16string_view path);

}  // namespace kivo
