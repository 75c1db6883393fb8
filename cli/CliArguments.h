#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/Limits.h"

namespace kivo {

// The exit statuses of kivo-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;       // list not saved, and the like
inline constexpr int kExitUsage = 2;         // bad command line; nothing was changed
inline constexpr int kExitInternetOpen = 3;  // "Internet open error."
inline constexpr int kExitOutOfSpace = 4;    // the patrol stopped for lack of disk space
inline constexpr int kExitDialup = 6;        // patrol --dial: no line, or it stayed up
inline constexpr int kExitOutput = 7;        // stdout could not be written; all else was done
// diff: no diff was shown, as there was nothing to compare (fewer than two
// copies, a copy that cannot be read, or texts that are the same or differ
// beyond comparing).
inline constexpr int kExitNothingToCompare = 8;
// Another Kivo or kivo-cli holds the instance lock. It has a status of its own
// so that a scheduled patrol can treat it as a skipped run, not a failure.
inline constexpr int kExitLocked = 5;

enum class CommandKind {
  Help,
  Version,
  List,
  Add,
  Remove,
  Reset,
  Patrol,
  Get,
  Set,
  History,
  Diff,
  Log,
};

// How many patrols "log" shows when not told.
inline constexpr int64_t kDefaultLogCount = 5;

// The fields of a new entry as given to "add"; UTF-16 like the entry itself.
struct AddOptions {
  std::u16string Url;
  std::u16string Title;
  int32_t LinkLevel = 0;
  bool GetImages = true;
  bool OnlyListedServers = true;
  std::vector<std::u16string> Servers;
  std::optional<std::u16string> Folder;
};

// One parsed command line.
struct CliCommand {
  CommandKind Kind = CommandKind::Help;
  AddOptions Add;
  // Row numbers as typed (from 1), for remove, reset, patrol, history and
  // diff; checked against the list only once it is loaded.
  std::vector<int64_t> Rows;
  std::optional<std::u16string> Name;
  std::u16string Value;
  // patrol --dial: dial before the patrol and hang up after it.
  bool Dial = false;
  // patrol --scheduled: started by the systemd timer, as the history records it.
  bool Scheduled = false;
  // patrol --notify: tell the desktop when entries were updated.
  bool Notify = false;
  // diff --from N --to M: the copies to compare, numbered as "history"
  // shows them (1 the newest); checked once the history is read.
  int64_t FromCopy = 2;
  int64_t ToCopy = 1;
  // log [N]: how many patrols to show.
  int64_t LogCount = kDefaultLogCount;
};

// The result of parsing: a command, or a one-line message for bad input.
struct ParseOutcome {
  std::optional<CliCommand> Command;
  std::string Error;
};

// Longest title, URL or server prefix an entry takes, as the editor does.
inline constexpr size_t kMaxUrlChars = kMaxUrlLength;

// Parses the arguments after the program name. Never fails on anything but
// the arguments themselves; nothing outside is looked at.
ParseOutcome ParseArguments(const std::vector<std::string>& args);

// Reads a link level the way the entry editor stores it: clamped to 0..99.
// Returns nothing when text is not a (signed) decimal number.
std::optional<int32_t> ParseLinkLevel(const std::string& text);

// Reads a row number (from 1) as typed; nothing when it is not a plain
// decimal number. Numbers too large for any list come back as INT64_MAX.
std::optional<int64_t> ParseRowNumber(const std::string& text);

// The text that --help prints.
extern const char* const kCliHelp;

}  // namespace kivo
