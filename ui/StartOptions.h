#pragma once

#include <QStringList>

namespace kivo {

// What the command line asks of a start.
struct StartOptions {
  bool PatrolAtStart = false;    // /P: patrol all entries once the window is up
  bool QuitAfterPatrol = false;  // /Q: close the program after each patrol
};

// Scans the arguments (without the program's own name) for options: every
// "/" introduces one, and the character right after it selects it in either
// case, "P" or "Q". Anything else is ignored, so "/P /Q", "/q/p" and
// "/Q /P" all mean the same.
StartOptions ParseStartOptions(const QStringList& arguments);

}  // namespace kivo
