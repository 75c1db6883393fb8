#pragma once

#include <functional>

namespace kivo {

// Runs `patrol` between a dial and a hang-up, as the desktop program does
// but without windows: when DialupConnect is on and no dial-up connection is
// up, it dials DialupEntry, showing the status texts on stderr, runs
// `patrol` once the line stands, and afterwards hangs up the line it dialed.
// Returns kExitDialup when the dial fails or is cancelled (and `patrol` is
// not run) or when the line stays up after the hang-up, and `patrol`'s own
// status otherwise.
int RunWithDialup(const std::function<int()>& patrol);

}  // namespace kivo
