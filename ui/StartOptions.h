#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kivo {

// What the command line asks of a start.
struct StartOptions {
  bool PatrolAtStart = false;    // /P: patrol all entries once the window is up
  bool QuitAfterPatrol = false;  // /Q: close the program after each patrol
  // --history=URL (percent-encoded): open the history of the entry with this
  // URL, as a click on a notice after a patrol asks.
  std::optional<QString> HistoryUrl;
};

// Scans the arguments (without the program's own name) for options: every
// "/" introduces one, and the character right after it selects it in either
// case, "P" or "Q". Anything else is ignored, so "/P /Q", "/q/p" and
// "/Q /P" all mean the same. An argument "--history=" followed by a
// percent-encoded URL, which holds no "/", asks for an entry's history.
StartOptions ParseStartOptions(const QStringList& arguments);

}  // namespace kivo
