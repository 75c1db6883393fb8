#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace kivo {

// Prints one setting (its value alone) or, without a name, every setting as
// NAME=VALUE, to out. Returns the exit status: 2 for an unknown name.
int GetSettings(const std::optional<std::u16string>& name, std::FILE* out);

// Stores one setting with the options pages' rules: time-outs clamped to
// 10..600, switches stored as 0 or 1, folders made absolute and given a
// final "/" (empty means the program folder), texts limited to their field
// lengths. Returns the exit status: 2 for bad input, 1 when the store could
// not be written, 0 otherwise. Messages go to err.
int SetSetting(const std::u16string& name, const std::u16string& value, std::FILE* err);

// The message for a folder longer than kMaxFolderChars characters.
std::string FolderTooLongMessage();

// Prints a note to err when folder does not exist: a patrol stores nothing
// into a missing folder, and it is better said now than found out later.
void WarnIfFolderMissing(const std::u16string& folder, std::FILE* err);

}  // namespace kivo
