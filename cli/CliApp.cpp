#include "cli/CliApp.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

#include "cli/CliArguments.h"
#include "cli/ConsoleView.h"
#include "cli/DialCommand.h"
#include "cli/HistoryCommands.h"
#include "cli/NoticeCommand.h"
#include "cli/PatrolSummary.h"
#include "cli/SettingCommands.h"
#include "cli/SignalScope.h"
#include "patrol/PatrolList.h"
#include "patrol/PatrolRunning.h"
#include "patrol/PatrolWorker.h"
#include "patrol/PreparePatrol.h"
#include "platform/InstanceLock.h"
#include "platform/ProgramFolder.h"
#include "platform/Utf8.h"
#include "urllist/EditRules.h"
#include "urllist/ListEdits.h"
#include "urllist/UrlEntry.h"
#include "urllist/UrlList.h"
#include "urllist/UrlListFile.h"

namespace kivo {

namespace {

std::string Utf8(std::u16string_view text) {
  return platform::Utf8FromUtf16(text);
}

void Message(const std::string& text) {
  std::fprintf(stderr, "kivo-cli: %s\n", text.c_str());
}

// Ctrl-C acts as the Cancel button: the worker stops before the next entry
// or image, rewrites what it stored, and the list is saved. The download in
// progress may still finish, within the cancel grace. A second Ctrl-C, a
// SIGTERM, or a SIGHUP from a closed terminal gives that download up at
// once; the rewrite and the save still run. The signals are blocked while
// the handler runs, and the atomic operations are lock-free, so this is safe
// in a signal handler.
extern "C" void CancelPatrol(int signal) {
  int32_t going = kPatrolGoing;
  if (signal != SIGINT || !PatrolRunning.compare_exchange_strong(going, kPatrolCancelled)) {
    PatrolRunning.store(kPatrolAbandoned);
  }
}

// A field of a list line, with tabs, line breaks and other control
// characters turned into spaces so that every entry stays one line of
// tab-separated fields, and nothing undecodable reaches the terminal.
std::string Field(std::u16string_view text) {
  return Utf8(TerminalSafe(text, u' '));
}

// Says why the instance lock was not taken: only a lock held by another
// copy means that one is running, and the lock file names which.
std::string LockFailureText(const platform::LockAttempt& lock) {
  const std::string folder = Utf8(platform::ProgramFolder());
  switch (lock.Failure) {
    case platform::LockFailure::FolderUnusable:
      return "the program folder " + lock.Path + " cannot be created (" +
             std::strerror(lock.Error) + "); nothing was changed";
    case platform::LockFailure::LockFileUnusable:
      return "the lock file " + lock.Path + " cannot be used (" + std::strerror(lock.Error) +
             "); nothing was changed";
    default:
      break;
  }
  switch (lock.Holder) {
    case platform::LockHolder::Kivo:
      return "Kivo is running with the program folder " + folder + "; nothing was changed";
    case platform::LockHolder::KivoCli:
      return "another kivo-cli is running with the program folder " + folder +
             "; nothing was changed";
    default:
      return "another Kivo or kivo-cli is running with the program folder " + folder +
             "; nothing was changed";
  }
}

void PrintList(const UrlList& list) {
  for (int32_t i = 0; i < list.Count(); ++i) {
    const UrlEntry& entry = *list[i];
    std::printf("%d\t%d\t%s\t%d\t%s\t%s\n", i + 1, entry.Status, Utf8(LastTimeText(entry)).c_str(),
                entry.LinkLevel, Field(entry.Name.View()).c_str(), Field(entry.Url.View()).c_str());
  }
}

// Checks every row against the list and returns them as sorted, distinct
// indexes from 0; nothing (after a message) when one is out of range.
std::optional<std::vector<int32_t>> RowIndexes(const std::vector<int64_t>& rows,
                                               const UrlList& list) {
  std::set<int32_t> indexes;
  for (int64_t row : rows) {
    if (row < 1 || row > list.Count()) {
      Message("row " + std::to_string(row) + " is out of range (the list has " +
              std::to_string(list.Count()) + (list.Count() == 1 ? " entry)" : " entries)"));
      return std::nullopt;
    }
    indexes.insert(static_cast<int32_t>(row - 1));
  }
  return std::vector<int32_t>(indexes.begin(), indexes.end());
}

// Makes the entry that "add" appends, with the entry editor's rules; null
// (after a message) when the folder is too long.
std::unique_ptr<UrlEntry> MakeEntry(const AddOptions& add) {
  auto entry = std::make_unique<UrlEntry>(platform::ProgramFolder());
  entry->Name.Assign(add.Title);
  entry->Url.Assign(add.Url);
  entry->LinkLevel = add.LinkLevel;
  entry->GetImages = add.GetImages ? 1 : 0;
  entry->OnlyListedServers = add.OnlyListedServers ? 1 : 0;
  for (const std::u16string& server : add.Servers) {
    entry->Servers.Add(std::make_unique<WideString>(server));
  }
  if (add.Folder.has_value()) {
    std::optional<WideString> folder = NormaliseTypedFolder(*add.Folder);
    if (!folder) {
      Message(FolderTooLongMessage());
      return nullptr;
    }
    entry->OwnFolder = std::move(*folder);
    entry->UseOwnFolder = 1;
    WarnIfFolderMissing(std::u16string(entry->OwnFolder.View()), stderr);
  }
  return entry;
}

int32_t TerminalWidth() {
  struct winsize size = {};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    return size.ws_col;
  }
  return 80;
}

// Runs a patrol over the given rows (all when empty) on this thread, with
// progress and the closing summary on stderr; the caller has set
// PatrolRunning and watches the signals. Returns the exit status of the
// patrol; `updated` tells whether any entry changed, and `notice` what a
// notice of the patrol would say.
int Patrol(UrlList& list, const std::vector<int32_t>& rows, const PatrolLimits& limits,
           PatrolTrigger trigger, bool& updated, ChangeNotice& notice) {
  PatrolList patrolList;
  PreparePatrol(list, rows.empty() ? PatrolScope::All : PatrolScope::Selected, rows, patrolList);
  const bool terminal = ::isatty(STDERR_FILENO) != 0;
  ConsoleView view(stderr, terminal ? ConsoleStyle::LiveLine : ConsoleStyle::PlainLines,
                   TerminalWidth());
  PatrolReport report;
  const int32_t result = RunPatrol(PatrolParams{&view, &patrolList, &limits, &report, trigger});
  if (result == kPatrolNoSession) {
    return kExitInternetOpen;
  }
  notice = MakeChangeNotice(report.UpdatedEntries);
  // Only a cancel that left work undone is reported; one that came during
  // the last download, which then finished, changed nothing.
  if (report.StoppedByCancel) {
    Message("patrol cancelled; the pages stored so far have been rewritten");
  }
  std::fprintf(stderr, "%s\n", PatrolSummary(report.Counts, report.Test).c_str());
  // One line per updated entry: its row and where its offline copy is.
  updated = !view.UpdatedEntries().empty();
  for (const UrlEntry* entry : view.UpdatedEntries()) {
    std::printf("%d\t%s\n", entry->ListIndex + 1,
                Utf8(TerminalSafe(entry->LocalFile.View(), u'?')).c_str());
  }
  return result == kPatrolOutOfSpace ? kExitOutOfSpace : kExitOk;
}

// Whether the list was read whole from its file.
enum class ListRead { Whole, Partly };

// Runs a command that changes the list and saves it afterwards. A patrol
// leaves what a notice of it would say in `notice`.
int ChangeList(const CliCommand& command, UrlList& list, UrlListFile& file,
               const PatrolLimits& limits, ListRead read, ChangeNotice& notice) {
  std::optional<std::vector<int32_t>> rows = RowIndexes(command.Rows, list);
  if (!rows) {
    return kExitUsage;
  }
  // From here on the list is saved whatever signal comes: a cancel only
  // stops the patrol (or keeps it from starting), and nothing ends the
  // program before the save.
  PatrolRunning.store(kPatrolGoing);
  SignalScope cancelOnSignals({SIGINT, SIGTERM, SIGHUP}, CancelPatrol);
  int status = kExitOk;
  int32_t addedRow = 0;
  bool changed = true;
  switch (command.Kind) {
    case CommandKind::Add: {
      std::unique_ptr<UrlEntry> entry = MakeEntry(command.Add);
      if (entry == nullptr) {
        return kExitUsage;
      }
      list.Add(std::move(entry));
      addedRow = list.Count();
      break;
    }
    case CommandKind::Remove:
      DeleteRows(list, *rows);
      break;
    case CommandKind::Reset:
      ResetUpdateTimes(list, *rows);
      break;
    case CommandKind::Patrol:
      status = Patrol(list, *rows, limits,
                      command.Scheduled ? PatrolTrigger::Scheduled : PatrolTrigger::Cli, changed,
                      notice);
      break;
    default:
      return kExitUsage;
  }
  std::fflush(stdout);
  // A patrol that updated nothing leaves a list read whole as it is on disk,
  // so an unchanged patrol writes (and syncs) nothing.
  if (!changed && read == ListRead::Whole) {
    return status;
  }
  if (!file.Save(list)) {
    Message("could not save " + Utf8(file.Path()) + "; the file on disk is unchanged");
    return kExitFailure;
  }
  // The new row exists only once the list is saved.
  if (addedRow != 0) {
    std::printf("%d\n", addedRow);
  }
  return status;
}

// Runs history, diff and log: they only read, so they take no lock, and
// read the list as the last save left it.
int ReadHistory(const CliCommand& command) {
  UrlListFile file = UrlListFile::InProgramFolder();
  UrlList list;
  if (!file.Load(list)) {
    Message(Utf8(file.Path()) + " could not be read whole; " + std::to_string(list.Count()) +
            " entries were read");
  }
  if (command.Kind == CommandKind::Log) {
    return PrintPatrolLog(list, command.LogCount);
  }
  const std::optional<std::vector<int32_t>> rows = RowIndexes(command.Rows, list);
  if (!rows) {
    return kExitUsage;
  }
  const UrlEntry& entry = *list[rows->front()];
  if (command.Kind == CommandKind::History) {
    return PrintEntryHistory(entry);
  }
  return PrintCopyDiff(entry, command.FromCopy, command.ToCopy);
}

// Runs a command that works on the list, under the instance lock it is
// given: list it, or change it and save it. A notice of a patrol comes once
// the list is saved and the lock is free, so that nothing waits for it; a
// list that was not saved is told by the status.
int RunOnList(const CliCommand& command, platform::LockAttempt& lock, const PatrolLimits& limits,
              const std::string& program) {
  UrlListFile file = UrlListFile::InProgramFolder();
  UrlList list;
  const ListRead read = file.Load(list) ? ListRead::Whole : ListRead::Partly;
  if (read == ListRead::Partly) {
    Message(Utf8(file.Path()) + " could not be read whole; " + std::to_string(list.Count()) +
            " entries were read, and the file is kept as " + Utf8(file.BackupPath()) +
            " when the list is saved");
  }
  if (command.Kind == CommandKind::List) {
    PrintList(list);
    return kExitOk;
  }
  ChangeNotice notice;
  int status = kExitOk;
  if (command.Kind == CommandKind::Patrol && command.Dial) {
    // Rows are checked before dialing, so that a typo costs no call.
    if (!RowIndexes(command.Rows, list)) {
      return kExitUsage;
    }
    status = RunWithDialup([&] { return ChangeList(command, list, file, limits, read, notice); });
  } else {
    status = ChangeList(command, list, file, limits, read, notice);
  }
  lock.Lock.reset();
  if (command.Notify && status != kExitFailure) {
    std::fflush(stdout);
    NotifyDesktop(notice, program);
  }
  return status;
}

int RunCommand(const std::vector<std::string>& args, const PatrolLimits& limits,
               const std::string& program) {
  ParseOutcome parsed = ParseArguments(args);
  if (!parsed.Command) {
    Message(parsed.Error);
    return kExitUsage;
  }
  const CliCommand& command = *parsed.Command;
  if (command.Kind == CommandKind::Help) {
    std::fputs(kCliHelp, stdout);
    return kExitOk;
  }
  if (command.Kind == CommandKind::Version) {
    std::printf("kivo-cli %s\n", KIVO_VERSION);
    return kExitOk;
  }
  if (command.Kind == CommandKind::History || command.Kind == CommandKind::Diff ||
      command.Kind == CommandKind::Log) {
    return ReadHistory(command);
  }
  platform::LockAttempt lock = platform::InstanceLock::Attempt(platform::LockHolder::KivoCli);
  if (lock.Lock == nullptr) {
    Message(LockFailureText(lock));
    return lock.Failure == platform::LockFailure::HeldElsewhere ? kExitLocked : kExitFailure;
  }
  if (command.Kind == CommandKind::Get) {
    return GetSettings(command.Name, stdout);
  }
  if (command.Kind == CommandKind::Set) {
    return SetSetting(*command.Name, command.Value, stderr);
  }
  return RunOnList(command, lock, limits, program);
}

}  // namespace

int RunCli(const std::vector<std::string>& args, const PatrolLimits& limits,
           const std::string& program) {
  // A reader that goes away early (kivo-cli list | head -1) makes the
  // writes to stdout fail instead of killing the program before the list is
  // saved; the failure is told by the exit status.
  const SignalScope ignoreBrokenPipe({SIGPIPE}, SIG_IGN);
  std::clearerr(stdout);
  int status = RunCommand(args, limits, program);
  // The error flag stays set from the first failed write, whenever that
  // was; what failed then is no longer known.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::clearerr(stdout);
    Message("could not write the output");
    if (status == kExitOk) {
      status = kExitOutput;
    }
  }
  return status;
}

}  // namespace kivo
