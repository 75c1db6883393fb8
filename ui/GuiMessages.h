#pragma once

#include <QString>
#include <cstdint>
#include <string_view>

#include "platform/InstanceLock.h"

namespace kivo {

// The desktop program's own messages, in Japanese like the rest of its
// interface, made from the values that the core hands over. kivo-cli says
// the same things in English.

// Writes one message line to standard error, as "kivo: " and the text.
void PrintMessage(const QString& text);

// Returns what the system error `error` (an errno value) means, in short.
QString SystemErrorText(int error);

// Returns why the program did not start beside the holder of the program
// folder `folder`, or beside a folder or lock file it cannot use.
QString LockRefusalText(const platform::LockAttempt& attempt, std::u16string_view folder);

// Returns the message for a list file that could be read only up to its
// damage: `read` entries were read, and the file is kept as `backup`.
QString ListDamagedText(std::u16string_view path, int32_t read, std::u16string_view backup);

// Returns the message for a list file that could not be saved.
QString ListNotSavedText(std::u16string_view path);
// The box for settings that could not be written to the file at `path`.
QString SettingsNotSavedText(std::u16string_view path);

// Returns the message for a desktop that has no program to open a stored
// page with.
QString NoOpenerText();

// Returns the message for a program that cannot hear later starts, which
// then cannot bring its window to the front.
QString NoListenText();

}  // namespace kivo
