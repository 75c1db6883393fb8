#include "html/ElementRole.h"

#include "support/AsciiCase.h"

namespace kivo {
namespace {

constexpr std::u16string_view kBlockNames[] = {
    u"address", u"article",  u"aside",      u"blockquote", u"body",   u"br",      u"caption",
    u"center",  u"dd",       u"details",    u"dialog",     u"dir",    u"div",     u"dl",
    u"dt",      u"fieldset", u"figcaption", u"figure",     u"footer", u"form",    u"frameset",
    u"h1",      u"h2",       u"h3",         u"h4",         u"h5",     u"h6",      u"head",
    u"header",  u"hgroup",   u"hr",         u"html",       u"legend", u"li",      u"main",
    u"menu",    u"nav",      u"ol",         u"option",     u"p",      u"section", u"summary",
    u"table",   u"tbody",    u"tfoot",      u"thead",      u"tr",     u"ul",
};

// Raw text that a browser with scripts never shows: scripts and style sheets,
// and the fallbacks for browsers without scripts, plug-ins, frames or inline
// frames.
constexpr std::u16string_view kHiddenNames[] = {
    u"script", u"style", u"noscript", u"noembed", u"noframes", u"iframe",
};

struct NamedRole {
  std::u16string_view Name;
  ElementRole Role;
};

constexpr NamedRole kOtherRoles[] = {
    {u"td", ElementRole::Cell},
    {u"th", ElementRole::Cell},
    {u"img", ElementRole::Image},
    {u"title", ElementRole::Title},
    {u"textarea", ElementRole::TextArea},
    {u"pre", ElementRole::Preformatted},
    {u"listing", ElementRole::Preformatted},
    {u"template", ElementRole::Template},
};

}  // namespace

ElementRole RoleOfElement(std::u16string_view name) {
  for (std::u16string_view block : kBlockNames) {
    if (EqualsNoCase(name, block)) {
      return ElementRole::Block;
    }
  }
  for (std::u16string_view hidden : kHiddenNames) {
    if (EqualsNoCase(name, hidden)) {
      return ElementRole::Hidden;
    }
  }
  for (const NamedRole& named : kOtherRoles) {
    if (EqualsNoCase(name, named.Name)) {
      return named.Role;
    }
  }
  return ElementRole::Inline;
}

}  // namespace kivo
