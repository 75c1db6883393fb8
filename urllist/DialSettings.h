#pragma once

#include <string>

namespace kivo {

// What the settings say about dialing before a patrol.
struct DialSettings {
  bool Connect = false;      // DialupConnect: dial when no dial-up line is up
  std::u16string EntryName;  // DialupEntry: the entry to dial, at most kMaxDialupEntryChars
};

// Reads DialupConnect and DialupEntry from the current user's settings, each
// missing value giving its default (dial-up off, no entry). The name is read
// through a buffer of kMaxDialupEntryChars units and its terminator, so a
// longer stored name, which neither the options nor kivo-cli ever write,
// reads as empty.
DialSettings ReadDialSettings();

}  // namespace kivo
