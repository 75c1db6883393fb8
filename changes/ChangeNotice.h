#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "urllist/UrlEntry.h"

namespace kivo {

// How many titles a notice names; the rest are only counted.
inline constexpr size_t kNoticeTitles = 5;
// How long a title in a notice may be, in code units; a longer one is cut.
inline constexpr size_t kNoticeTitleUnits = 80;

// What the notice after a patrol says: how many user entries were updated,
// the titles of the first of them, and which entry its action opens.
struct ChangeNotice {
  uint32_t Count = 0;
  // The first kNoticeTitles titles in patrol order; an untitled entry is
  // named by its URL. Each has been cut to kNoticeTitleUnits.
  std::vector<std::u16string> Titles;
  uint32_t Others = 0;  // Count less the titles named
  std::u16string Url;   // of the first updated entry, whose history the action opens

  bool IsEmpty() const { return Count == 0; }
};

// Returns the notice for the user entries a patrol updated, in the order it
// updated them; an entry named twice counts once. Empty for none.
ChangeNotice MakeChangeNotice(const std::vector<const UrlEntry*>& updated);

// Returns whether the Notify setting lets patrols tell the desktop of
// updated entries.
bool NoticesWanted();

}  // namespace kivo
