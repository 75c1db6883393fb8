#include "cli/CliArguments.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string_view>

#include "platform/Utf8.h"
#include "support/Decimal.h"
#include "urllist/EditRules.h"

namespace kivo {

const char* const kCliHelp =
    "Usage: kivo-cli COMMAND [ARGUMENTS]\n"
    "Keeps offline copies of the watched web pages up to date.\n"
    "\n"
    "Commands:\n"
    "  list                  one line per entry: row, status (0 never fetched,\n"
    "                        1 fetched, 2 viewed), update time, link level,\n"
    "                        title and URL, separated by tabs\n"
    "  add URL [OPTIONS]     append a new entry; options:\n"
    "      --title T         its title\n"
    "      --level N         link levels to follow, clamped to 0..99 (default 0)\n"
    "      --no-images       do not fetch the pages' images\n"
    "      --any-server      follow links to every server\n"
    "      --server PREFIX   also follow links that begin with PREFIX\n"
    "                        (may be repeated)\n"
    "      --folder DIR      store its files in DIR instead of the save folder\n"
    "                        (an empty DIR means the program folder)\n"
    "  remove ROW...         remove the entries in these rows\n"
    "  reset ROW...          reset their update time, so that the next patrol\n"
    "                        fetches them whatever their modification time\n"
    "  patrol [ROW...]       patrol every entry, or the given rows in row order;\n"
    "                        prints one line per updated entry: its row and\n"
    "                        where its offline copy is, and ends its progress\n"
    "                        with a summary: how many entries were updated,\n"
    "                        unchanged (by Last-Modified, by a 304 answer, or\n"
    "                        with the same text or bytes) and failed. Ctrl-C\n"
    "                        cancels: the download in progress may finish (it\n"
    "                        is given up after 10 seconds), the pages stored so\n"
    "                        far are still rewritten and the list is saved. A\n"
    "                        second Ctrl-C, SIGTERM or SIGHUP gives that\n"
    "                        download up at once\n"
    "      --dial            dial DialupEntry first when DialupConnect is 1 and\n"
    "                        no dial-up line is up, and hang it up afterwards\n"
    "      --scheduled       record the patrol in the history as started by the\n"
    "                        timer (the systemd service passes it)\n"
    "      --notify          when entries were updated and Notify is 1, tell\n"
    "                        the desktop in one notification, whose action opens\n"
    "                        the first one's history in kivo\n"
    "  history ROW           the entry's checks, newest first: copy number (1 the\n"
    "                        newest copy, - for a check that stored none), time,\n"
    "                        outcome, size and path of the copy, separated by tabs\n"
    "  diff ROW [OPTIONS]    a unified diff of the visible text of two copies,\n"
    "                        coloured on a terminal unless NO_COLOR is set:\n"
    "      --from N          the older copy, numbered as history shows them\n"
    "                        (default 2)\n"
    "      --to M            the newer copy (default 1, the newest)\n"
    "  log [N]               the last N patrols (default 5), newest first: when,\n"
    "                        how they were started and their counts, then each\n"
    "                        entry's outcome, title and URL, separated by tabs\n"
    "  get [NAME]            print one setting, or all of them as NAME=VALUE\n"
    "  set NAME VALUE        change a setting; time-outs are clamped to\n"
    "                        10..600 seconds, folders get a final \"/\";\n"
    "                        MaxFileSize is the largest download a patrol\n"
    "                        stores, in MiB (default 1024, 0 for no limit);\n"
    "                        Connections is how many requests a patrol keeps\n"
    "                        in flight, 1..16 (default 4); ChangeTest is what\n"
    "                        besides Last-Modified makes a page unchanged:\n"
    "                        0 nothing, 1 the validators (ETag, 304) and\n"
    "                        identical bytes, 2 the validators and the same\n"
    "                        visible text (default 2)\n"
    "  --help                print this text\n"
    "  --version             print the version\n"
    "\n"
    "Rows are numbered from 1, as \"list\" shows them.\n"
    "Progress goes to stderr: a live line on a terminal, plain lines otherwise.\n"
    "\n"
    "Files: the list \"Kivo.dat\", the patrol history \"KivoHistory.db\" and the\n"
    "temporary download files live in the program folder ($KIVO_HOME, or\n"
    "~/Kivo/); the settings in\n"
    "$XDG_CONFIG_HOME/kivo/settings.reg (or ~/.config/kivo/settings.reg).\n"
    "Only one kivo-cli or Kivo runs at a time; history, diff and log only read\n"
    "the patrol history \"KivoHistory.db\" and also work while another one runs.\n"
    "\n"
    "Exit status: 0 done (also after a cancelled patrol), 1 the list could not\n"
    "be saved or the program folder or its lock file cannot be used, 2 bad\n"
    "command line (nothing was changed), 3 \"Internet open error.\" (no HTTP\n"
    "session could be opened), 4 the patrol stopped because a disk was full or\n"
    "had less than 64 MiB free (the pages stored so far are rewritten and the\n"
    "list is saved), 5 another Kivo or kivo-cli is running (nothing was\n"
    "changed), 6 patrol --dial: the dial failed or was cancelled (nothing was\n"
    "patrolled), or the line was still up after the patrol, 7 the output could\n"
    "not be written (the command was carried out all the same and the list\n"
    "saved), 8 diff: nothing to compare (fewer than two copies, a copy that\n"
    "cannot be read, or texts that are the same or too different to compare).\n";

namespace {

// Reads decimal digits, saturating at INT64_MAX instead of overflowing.
std::optional<int64_t> SaturatingDecimal(std::string_view digits) {
  const std::optional<uint64_t> value =
      ParseDecimalDigits(digits, std::numeric_limits<int64_t>::max());
  if (!value) {
    return std::nullopt;
  }
  return static_cast<int64_t>(*value);
}

std::u16string Wide(const std::string& text) {
  return platform::Utf16FromUtf8(text);
}

CliCommand MakeCommand(CommandKind kind) {
  CliCommand command;
  command.Kind = kind;
  return command;
}

ParseOutcome Fail(std::string message) {
  return ParseOutcome{std::nullopt, std::move(message)};
}

ParseOutcome ParseAdd(const std::vector<std::string>& args) {
  CliCommand command = MakeCommand(CommandKind::Add);
  AddOptions& add = command.Add;
  bool haveUrl = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--title" || arg == "--level" || arg == "--server" || arg == "--folder") {
      if (i + 1 >= args.size()) {
        return Fail("option " + arg + " needs a value");
      }
      const std::string* text = &args[++i];
      if (arg == "--title") {
        add.Title = Wide(*text);
        if (add.Title.size() > kMaxUrlChars) {
          return Fail("the title is longer than " + std::to_string(kMaxUrlChars) + " characters");
        }
      } else if (arg == "--level") {
        std::optional<int32_t> level = ParseLinkLevel(*text);
        if (!level) {
          return Fail("the level '" + *text + "' is not a number");
        }
        add.LinkLevel = *level;
      } else if (arg == "--server") {
        std::u16string server = Wide(*text);
        if (server.size() > kMaxUrlChars) {
          return Fail("a server prefix is longer than " + std::to_string(kMaxUrlChars) +
                      " characters");
        }
        add.Servers.push_back(std::move(server));
      } else {
        add.Folder = Wide(*text);
      }
    } else if (arg == "--no-images") {
      add.GetImages = false;
    } else if (arg == "--any-server") {
      add.OnlyListedServers = false;
    } else if (arg == "--") {
      if (i + 2 != args.size() || haveUrl) {
        return Fail("add takes exactly one URL");
      }
      add.Url = Wide(args[++i]);
      haveUrl = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Fail("unknown option '" + arg + "' for add");
    } else if (haveUrl) {
      return Fail("add takes exactly one URL; '" + arg + "' is one too many");
    } else {
      add.Url = Wide(arg);
      haveUrl = true;
    }
  }
  if (!haveUrl) {
    return Fail("add needs a URL");
  }
  if (add.Url.size() > kMaxUrlChars) {
    return Fail("the URL is longer than " + std::to_string(kMaxUrlChars) + " characters");
  }
  return ParseOutcome{std::move(command), {}};
}

ParseOutcome ParseRows(CommandKind kind, const std::vector<std::string>& args, bool needRows) {
  CliCommand command = MakeCommand(kind);
  for (size_t i = 1; i < args.size(); ++i) {
    std::optional<int64_t> row = ParseRowNumber(args[i]);
    if (!row) {
      return Fail("'" + args[i] + "' is not a row number");
    }
    command.Rows.push_back(*row);
  }
  if (needRows && command.Rows.empty()) {
    return Fail(args[0] + " needs at least one row number");
  }
  return ParseOutcome{std::move(command), {}};
}

// Removes every `option` from the arguments after the command; true when
// there was one.
bool TakeOption(std::vector<std::string>& args, const std::string& option) {
  const auto found = std::remove(args.begin() + 1, args.end(), option);
  const bool taken = found != args.end();
  args.erase(found, args.end());
  return taken;
}

// "patrol" takes row numbers and, anywhere among them, --dial, --scheduled and
// --notify.
ParseOutcome ParsePatrol(std::vector<std::string> args) {
  const bool dial = TakeOption(args, "--dial");
  const bool scheduled = TakeOption(args, "--scheduled");
  const bool notify = TakeOption(args, "--notify");
  ParseOutcome outcome = ParseRows(CommandKind::Patrol, args, false);
  if (outcome.Command) {
    outcome.Command->Dial = dial;
    outcome.Command->Scheduled = scheduled;
    outcome.Command->Notify = notify;
  }
  return outcome;
}

// Reads a count that starts at 1: a copy number or a number of patrols.
std::optional<int64_t> ParseCount(const std::string& text) {
  const std::optional<int64_t> count = SaturatingDecimal(text);
  if (!count || *count < 1) {
    return std::nullopt;
  }
  return count;
}

// "history ROW" and "diff ROW [--from N] [--to M]".
ParseOutcome ParseEntryHistory(CommandKind kind, const std::vector<std::string>& args) {
  std::vector<std::string> rows = {args[0]};
  CliCommand command = MakeCommand(kind);
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (kind != CommandKind::Diff || (arg != "--from" && arg != "--to")) {
      rows.push_back(arg);
      continue;
    }
    const std::optional<int64_t> number =
        i + 1 < args.size() ? ParseCount(args[++i]) : std::nullopt;
    if (!number) {
      return Fail("option " + arg + " needs a copy number (1 is the newest copy)");
    }
    (arg == "--from" ? command.FromCopy : command.ToCopy) = *number;
  }
  ParseOutcome outcome = ParseRows(kind, rows, true);
  if (outcome.Command && outcome.Command->Rows.size() != 1) {
    return Fail(args[0] + " takes exactly one row number");
  }
  if (outcome.Command) {
    command.Rows = outcome.Command->Rows;
    outcome.Command = std::move(command);
  }
  return outcome;
}

ParseOutcome ParseLog(const std::vector<std::string>& args) {
  CliCommand command = MakeCommand(CommandKind::Log);
  if (args.size() > 2) {
    return Fail("log takes at most one number");
  }
  if (args.size() == 2) {
    const std::optional<int64_t> count = ParseCount(args[1]);
    if (!count) {
      return Fail("'" + args[1] + "' is not a number of patrols");
    }
    command.LogCount = *count;
  }
  return ParseOutcome{std::move(command), {}};
}

}  // namespace

std::optional<int32_t> ParseLinkLevel(const std::string& text) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  // A text that is no number is refused; the range is the entry editor's.
  const std::optional<int64_t> value = SaturatingDecimal(digits);
  if (!value) {
    return std::nullopt;
  }
  return ClampLinkLevel(negative ? -*value : *value);
}

std::optional<int64_t> ParseRowNumber(const std::string& text) {
  return SaturatingDecimal(text);
}

ParseOutcome ParseArguments(const std::vector<std::string>& args) {
  if (args.empty()) {
    return Fail("no command given (try --help)");
  }
  const std::string& name = args[0];
  if (name == "--help" || name == "-h" || name == "help") {
    return ParseOutcome{MakeCommand(CommandKind::Help), {}};
  }
  if (name == "--version") {
    return ParseOutcome{MakeCommand(CommandKind::Version), {}};
  }
  if (name == "list") {
    if (args.size() > 1) {
      return Fail("list takes no arguments");
    }
    return ParseOutcome{MakeCommand(CommandKind::List), {}};
  }
  if (name == "add") {
    return ParseAdd(args);
  }
  if (name == "remove") {
    return ParseRows(CommandKind::Remove, args, true);
  }
  if (name == "reset") {
    return ParseRows(CommandKind::Reset, args, true);
  }
  if (name == "patrol") {
    return ParsePatrol(args);
  }
  if (name == "history" || name == "diff") {
    return ParseEntryHistory(name == "history" ? CommandKind::History : CommandKind::Diff, args);
  }
  if (name == "log") {
    return ParseLog(args);
  }
  if (name == "get") {
    if (args.size() > 2) {
      return Fail("get takes at most one setting name");
    }
    CliCommand command = MakeCommand(CommandKind::Get);
    if (args.size() == 2) {
      command.Name = Wide(args[1]);
    }
    return ParseOutcome{std::move(command), {}};
  }
  if (name == "set") {
    if (args.size() != 3) {
      return Fail("set takes a setting name and a value");
    }
    CliCommand command = MakeCommand(CommandKind::Set);
    command.Name = Wide(args[1]);
    command.Value = Wide(args[2]);
    return ParseOutcome{std::move(command), {}};
  }
  return Fail("unknown command '" + name + "' (try --help)");
}

}  // namespace kivo
