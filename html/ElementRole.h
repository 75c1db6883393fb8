#pragma once

#include <string_view>

namespace kivo {

// What an element does to the text a reader sees.
enum class ElementRole {
  Inline,        // nothing: its text runs on with the text around it
  Block,         // its start and end tags end a line (BR and HR among them)
  Cell,          // its start and end tags separate words
  Image,         // its ALT is text
  Hidden,        // its contents are raw text that is never shown
  Title,         // its contents are raw text with references, shown on a line of its own
  TextArea,      // like Title, with its line breaks kept
  Preformatted,  // a block whose line breaks are kept
  Template,      // its contents are markup that is never shown
};

// The role of the element called `name`, in any ASCII letter case; Inline
// for every name it does not know.
ElementRole RoleOfElement(std::u16string_view name);

}  // namespace kivo
