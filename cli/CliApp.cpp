#include "cli/CliApp.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>

#include "cli/CliArguments.h"
#include "cli/ConsoleView.h"
#include "cli/SettingCommands.h"
#include "patrol/PatrolList.h"
#include "patrol/PatrolRunning.h"
#include "patrol/PatrolWorker.h"
#include "platform/InstanceLock.h"
#include "platform/PlaceholderImage.h"
#include "platform/ProgramFolder.h"
#include "platform/Utf8.h"
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

// Ctrl-C (and a polite kill) act as the Cancel button: the worker stops
// before the next entry or image, rewrites what it stored, and the list is
// saved. Storing to a lock-free atomic is safe in a signal handler.
extern "C" void CancelPatrol(int) {
  PatrolRunning.store(0);
}

// Installs the cancel handlers for its lifetime and restores the old ones.
class CancelOnSignals {
 public:
  CancelOnSignals() {
    struct sigaction action = {};
    action.sa_handler = CancelPatrol;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt_);
    sigaction(SIGTERM, &action, &oldTerm_);
  }
  CancelOnSignals(const CancelOnSignals&) = delete;
  CancelOnSignals& operator=(const CancelOnSignals&) = delete;
  ~CancelOnSignals() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
  }

 private:
  struct sigaction oldInt_ = {};
  struct sigaction oldTerm_ = {};
};

std::string FormatLastTime(const UrlEntry& entry) {
  if (entry.HasLastTime == 0) {
    return "----/--/-- --:--";
  }
  char text[32];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d", entry.LastTime.Year,
                entry.LastTime.Month, entry.LastTime.Day, entry.LastTime.Hour,
                entry.LastTime.Minute);
  return text;
}

// A field of a list line, with tabs, line breaks and other control
// characters turned into spaces so that every entry stays one line of
// tab-separated fields.
std::string Field(std::u16string_view text) {
  std::u16string clean(text);
  for (char16_t& unit : clean) {
    if (unit < 0x20 || unit == 0x7F) {
      unit = u' ';
    }
  }
  return Utf8(clean);
}

void PrintList(const UrlList& list) {
  for (int32_t i = 0; i < list.Count(); ++i) {
    const UrlEntry& entry = *list[i];
    std::printf("%d\t%d\t%s\t%d\t%s\t%s\n", i + 1, entry.Status, FormatLastTime(entry).c_str(),
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
  auto entry = std::make_unique<UrlEntry>();
  entry->Name.Assign(add.Title);
  entry->Url.Assign(add.Url);
  entry->LinkLevel = add.LinkLevel;
  entry->GetImages = add.GetImages ? 1 : 0;
  entry->OnlyListedServers = add.OnlyListedServers ? 1 : 0;
  for (const std::u16string& server : add.Servers) {
    entry->Servers.Add(std::make_unique<WideString>(server));
  }
  if (add.Folder.has_value()) {
    std::optional<std::u16string> folder = NormaliseTypedFolder(*add.Folder);
    if (!folder) {
      Message("the folder is longer than 259 characters");
      return nullptr;
    }
    entry->UseOwnFolder = 1;
    entry->OwnFolder.Assign(*folder);
    WarnIfFolderMissing(*folder, stderr);
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
// progress on stderr. Returns the exit status of the patrol.
int Patrol(UrlList& list, const std::vector<int32_t>& rows) {
  platform::InstallPlaceholderImage();
  for (int32_t i = 0; i < list.Count(); ++i) {
    list[i]->ListIndex = i;
  }
  PatrolList patrolList;
  if (rows.empty()) {
    for (UrlEntry* entry : list) {
      patrolList.Add(entry);
    }
  } else {
    for (int32_t row : rows) {
      patrolList.Add(list[row]);
    }
  }
  const bool terminal = ::isatty(STDERR_FILENO) != 0;
  ConsoleView view(stderr, terminal ? ConsoleStyle::LiveLine : ConsoleStyle::PlainLines,
                   TerminalWidth());
  int32_t result = 0;
  {
    CancelOnSignals cancelOnSignals;
    PatrolRunning.store(1);
    result = RunPatrol(PatrolParams{&view, &patrolList});
  }
  if (result != 0) {
    return kExitInternetOpen;
  }
  if (PatrolRunning.load() == 0) {
    Message("patrol cancelled; the pages stored so far have been rewritten");
  }
  // One line per updated entry: its row and where its offline copy is.
  for (const UrlEntry* entry : view.UpdatedEntries()) {
    std::printf("%d\t%s\n", entry->ListIndex + 1, Utf8(entry->LocalFile.View()).c_str());
  }
  return kExitOk;
}

// Runs a command that changes the list and saves it afterwards.
int ChangeList(const CliCommand& command, UrlList& list, UrlListFile& file) {
  std::optional<std::vector<int32_t>> rows = RowIndexes(command.Rows, list);
  if (!rows) {
    return kExitUsage;
  }
  int status = kExitOk;
  switch (command.Kind) {
    case CommandKind::Add: {
      std::unique_ptr<UrlEntry> entry = MakeEntry(command.Add);
      if (entry == nullptr) {
        return kExitUsage;
      }
      list.Add(std::move(entry));
      std::printf("%d\n", list.Count());
      break;
    }
    case CommandKind::Remove:
      // From the last row to the first, so that the indexes stay valid.
      for (auto it = rows->rbegin(); it != rows->rend(); ++it) {
        list.TakeAt(*it);
      }
      break;
    case CommandKind::Reset:
      for (int32_t row : *rows) {
        list[row]->HasLastTime = 0;
      }
      break;
    case CommandKind::Patrol:
      status = Patrol(list, *rows);
      break;
    default:
      return kExitUsage;
  }
  std::fflush(stdout);
  if (!file.Save(list)) {
    Message("could not save " + Utf8(platform::ProgramFile(u"Kivo.dat")) +
            "; the file on disk is unchanged");
    return kExitFailure;
  }
  return status;
}

}  // namespace

int RunCli(const std::vector<std::string>& args) {
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
  std::unique_ptr<platform::InstanceLock> lock = platform::InstanceLock::TryAcquire();
  if (lock == nullptr) {
    Message("another Kivo or kivo-cli is running with the program folder " +
            Utf8(platform::ProgramFolder()) + "; nothing was changed");
    return kExitLocked;
  }
  if (command.Kind == CommandKind::Get) {
    return GetSettings(command.Name, stdout);
  }
  if (command.Kind == CommandKind::Set) {
    return SetSetting(*command.Name, command.Value, stderr);
  }
  UrlListFile file(platform::ProgramFile(u"Kivo.dat"));
  UrlList list;
  if (!file.Load(list)) {
    Message("Kivo.dat could not be read whole; " + std::to_string(list.Count()) +
            " entries were read, and the file is kept as Kivo.dat.bak when the list is saved");
  }
  if (command.Kind == CommandKind::List) {
    PrintList(list);
    return kExitOk;
  }
  return ChangeList(command, list, file);
}

}  // namespace kivo
