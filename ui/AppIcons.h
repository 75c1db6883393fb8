#pragma once

#include <QIcon>
#include <cstdint>

namespace kivo {

// Returns the program icon, shared by the main window, the About box and the
// desktop entry.
QIcon ProgramIcon();

// Returns the patrol tool button's circular arrow.
QIcon PatrolIcon();

// Returns a new icon for the list row of an entry with this Status for an entry's Status: blank for
// 0 (never fetched), a page with text lines for 1 (fetched, not yet viewed) and an empty page for 2
// (viewed). Any other value, which only a damaged list file can hold, gets the blank icon.
QIcon StateIcon(int32_t status);

}  // namespace kivo
