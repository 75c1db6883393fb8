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

// Which reading of the page a row belongs to.
enum class TagScan {
  // The first ten rows: the byte scanners of the extractor and the rewriter,
  // quirks and all. They resolve against the page's own URL and ignore BASE.
  Classic,
  // The newer rows: a parser that reads a tag as a browser does (quotes,
  // comments, script and style text), decodes character references in the
  // value, resolves against the page's BASE HREF, leaves empty values and
  // "data:" URLs alone, and looks a URL up without its fragment, which it
  // puts back after a local name.
  Parsed,
};

// What an attribute value holds.
enum class ValueKind {
  Url,     // one URL
  Srcset,  // image candidates: each a URL with its descriptors
};

// What else a tag must carry for a row to apply.
enum class TagCondition {
  None,
  RelIcon,  // a REL attribute with the word "icon" among its words
};

// How the link rewriter finds the tag and replaces its value.
enum class RewriteRule {
  Image,   // looked up in the images; the placeholder image when not fetched
  Anchor,  // the tag name must be followed by a blank; looked up in the pages without a
           // fragment after the last "/", which is put back after a local name
  Link,    // looked up in the pages as resolved; the absolute URL when not fetched
};

// One tag whose attribute carries a URL, with a column for each pass that
// reads it.
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
  TagScan Scan = TagScan::Classic;
  ValueKind Value = ValueKind::Url;
  TagCondition Condition = TagCondition::None;
};

// The rewriter tests the classic rows in this order and the first match wins,
// so a row's name must never begin with the name of an earlier classic row
// unless that earlier row needs a blank after its name (as A does before AREA).
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
    // The newer rows, which only the parser reads. Media and objects are
    // documents that a page pulls in, like frames; a LINK to an icon is an
    // image, and takes over from the LINK row above for its tag.
    {"IMG", "SRCSET", LinkList::Images, ExtractRule::AsWritten, RewriteRule::Image, TagScan::Parsed,
     ValueKind::Srcset},
    {"SOURCE", "SRCSET", LinkList::Images, ExtractRule::AsWritten, RewriteRule::Image,
     TagScan::Parsed, ValueKind::Srcset},
    {"SOURCE", "SRC", LinkList::Images, ExtractRule::AsWritten, RewriteRule::Image,
     TagScan::Parsed},
    {"VIDEO", "POSTER", LinkList::Images, ExtractRule::AsWritten, RewriteRule::Image,
     TagScan::Parsed},
    {"VIDEO", "SRC", LinkList::Frames, ExtractRule::AsWritten, RewriteRule::Link, TagScan::Parsed},
    {"AUDIO", "SRC", LinkList::Frames, ExtractRule::AsWritten, RewriteRule::Link, TagScan::Parsed},
    {"OBJECT", "DATA", LinkList::Frames, ExtractRule::AsWritten, RewriteRule::Link,
     TagScan::Parsed},
    {"EMBED", "SRC", LinkList::Frames, ExtractRule::AsWritten, RewriteRule::Link, TagScan::Parsed},
    {"LINK", "HREF", LinkList::Images, ExtractRule::AsWritten, RewriteRule::Image, TagScan::Parsed,
     ValueKind::Url, TagCondition::RelIcon},
};

}  // namespace kivo
