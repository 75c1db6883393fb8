#pragma once

#include <QString>

namespace kivo {

// True when `entryName`, as the service names an entry, is the one that the
// stored name `wanted` stands for: the same name, or, when `wanted` has the
// full stored length (kMaxDialupEntryChars) and so may have been cut, a name
// that begins with it.
bool EntryNameMatches(const QString& wanted, const QString& entryName);

}  // namespace kivo
