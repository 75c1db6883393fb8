#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "html/DocumentKind.h"
#include "html/PageLinks.h"

namespace kivo {

// What one URL of a PageLinks costs besides its text: the string object, its slot and the
// allocator's overhead of both.
inline constexpr uint64_t kBytesPerLink = 64;

// Returns the memory that `links` hold, as a patrol counts it against what it keeps for pages
// read ahead: each URL's UTF-16 text and kBytesPerLink.
uint64_t HeldBytes(const PageLinks& links);

// Returns a cheap guess at what the links of `body`, read as `kind`, will hold once read
// against a URL of `urlLength` units: one URL as long as that one per place where a link may
// begin (a tag in a page; a url() or an at-rule in a style sheet). A relative link under a long
// path resolves to a URL far longer than its own text, so the body's size alone does not tell.
uint64_t GuessLinkBytes(std::string_view body, DocumentKind kind, size_t urlLength);

}  // namespace kivo
