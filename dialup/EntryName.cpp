#include "dialup/EntryName.h"

namespace kivo {

bool EntryNameMatches(const QString& wanted, const QString& entryName) {
  if (wanted.isEmpty()) {
    return false;
  }
  if (entryName == wanted) {
    return true;
  }
  return wanted.size() == kMaxEntryNameChars && entryName.startsWith(wanted);
}

}  // namespace kivo
