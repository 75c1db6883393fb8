#pragma once

#include <string_view>

namespace kivo {

// Which list of PageLinks a tag's URL joins when the page is analysed.
enum class LinkList {
  Images,  // fetched as images when the entry asks for them
  Links,   // followed one link level deeper
  Frames,  // fetched as further pages at the same level
};

// How the link extractor takes a value.
enum class ExtractRule {
  AsWritten,  // resolved as it stands
  Anchor,     // cut at the first "#"; a value beginning with "mailto:" is dropped
};

// How the link rewriter finds the tag and replaces its value.
enum class RewriteRule {
  Image,   // looked up in the images; the placeholder image when not fetched
  Anchor,  // the tag name must be followed by a blank; looked up in the pages without a
           // fragment after the last "/", which is put back after a local name
  Link,    // looked up in the pages as resolved; the absolute URL when not fetched
};

// One of the ten tags whose attribute carries a URL, with a column for each
// pass that reads it.
//
// The two passes read the same table differently, on purpose. The extractor
// decides what is fetched: it cuts a tag into words, takes the tag name whole
// (IMGX and FRAMESET are not IMG and FRAME) and an attribute only as a whole
// word followed by "=" and a value, so that a patrol fetches only what a
// browser would load. The rewriter edits the stored bytes in place and must
// copy everything it does not understand untouched, so it never parses a tag:
// it tests the name as a prefix in table order (FRAMESET passes as FRAME) and
// searches the attribute name byte by byte up to the first ">" (SRC is found
// inside LOWSRC, and a ">" inside a quoted value ends the search). Only its A
// row needs a blank after the name, or ABBR, ADDRESS and AREA would all be
// taken for A. The broader reading costs the rewriter little: an extra value
// is pointed at a local copy, the placeholder image or its absolute URL, all
// of which a reader can still follow.
struct LinkTag {
  std::string_view Name;       // upper case
  std::string_view Attribute;  // upper case; both passes ignore the letter case of the page
  // Extraction.
  LinkList List;
  ExtractRule Extract;
  // Rewriting.
  RewriteRule Rewrite;
};

// The rewriter tests the rows in this order and the first match wins, so a
// row's name must never begin with the name of an earlier row unless that
// earlier row needs a blank after its name (as A does before AREA).
inline constexpr LinkTag kLinkTags[] = {
    {"IMG", "SRC", LinkList::Images, ExtractRule::AsWritten, RewriteRule::Image},
    {"BODY", "BACKGROUND", LinkList::Images, ExtractRule::AsWritten, RewriteRule::Image},
    {"TABLE", "BACKGROUND", LinkList::Images, ExtractRule::AsWritten, RewriteRule::Image},
    {"INPUT", "SRC", LinkList::Images, ExtractRule::AsWritten, RewriteRule::Image},
    {"A", "HREF", LinkList::Links, ExtractRule::Anchor, RewriteRule::Anchor},
    {"AREA", "HREF", LinkList::Links, ExtractRule::AsWritten, RewriteRule::Link},
    {"FRAME", "SRC", LinkList::Frames, ExtractRule::AsWritten, RewriteRule::Link},
    {"IFRAME", "SRC", LinkList::Frames, ExtractRule::AsWritten, RewriteRule::Link},
    {"LINK", "HREF", LinkList::Frames, ExtractRule::AsWritten, RewriteRule::Link},
    {"SCRIPT", "SRC", LinkList::Frames, ExtractRule::AsWritten, RewriteRule::Link},
};

}  // namespace kivo
