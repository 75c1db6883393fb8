#include "dialup/EntryName.h"

#include "support/Limits.h"

namespace kivo {

bool EntryNameMatches(const QString& wanted, const QString& entryName) {
  if (wanted.isEmpty()) {
    return false;
  }
  if (entryName == wanted) {
    return true;
  }
  return wanted.size() == kMaxDialupEntryChars && entryName.startsWith(wanted);
}

}  // namespace kivo
