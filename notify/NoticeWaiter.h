#pragma once

#include <QString>
#include <chrono>
#include <optional>
#include <string>

#include "changes/ChangeNotice.h"
#include "notify/DesktopNotifier.h"

namespace kivo {

// How long a program that ends right after its patrol waits at most for the
// small process that shows its notice to say whether it did.
inline constexpr int kNoticeAnswerMs = 3 * kNoticeCallMs;
// How long that process keeps hearing clicks on the notice at most. It ends
// earlier when the notice is clicked or closed, or when a later notice of
// Kivo takes its place.
inline constexpr std::chrono::hours kNoticeWaitLimit{12};

// The desktop program's option that opens an entry's history at start,
// followed by the entry's URL, percent-encoded so that it holds no "/" that
// the program's own options could be taken from.
inline constexpr char kHistoryOption[] = "--history=";

// Returns the option that opens the history of the entry with `url`.
QString HistoryOptionFor(const QString& url);

// Returns the URL that the option `argument` opens the history of, or
// nothing when it is not that option.
std::optional<QString> HistoryUrlFromOption(const QString& argument);

// Shows `notice` on the desktop from a process of its own, started from the
// executable `program` (this program's, "/proc/self/exe"), and returns
// whether it was shown. That process stays, apart from this one, to hear a
// click on the notice, which starts the desktop program with the first
// entry's history; this one waits only until the notice was shown, at most
// kNoticeAnswerMs. It is for a program that ends after its patrol: call it
// once the list is saved and the instance lock released.
bool NotifyInBackground(const ChangeNotice& notice, const std::string& program);

// Runs the process that NotifyInBackground starts, when the arguments
// `argv` are its own, and returns its exit status; nothing for any other
// arguments. A program that calls NotifyInBackground on itself calls this
// first thing in main().
std::optional<int> RunNoticeWaiter(int argc, char** argv);

}  // namespace kivo
