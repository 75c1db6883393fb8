#include "cli/HistoryCommands.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unordered_map>

#include "changes/CopyComparison.h"
#include "changes/EntryCopies.h"
#include "cli/CliArguments.h"
#include "cli/ConsoleView.h"
#include "html/UnifiedDiff.h"
#include "patrol/PatrolHistory.h"
#include "platform/CodePage.h"
#include "platform/Utf8.h"

namespace kivo {
namespace {

constexpr const char* kNoTime = "----/--/-- --:--:--";

void Message(const std::string& text) {
  std::fprintf(stderr, "kivo-cli: %s\n", text.c_str());
}

// Text from the list, a page or the history, made safe for a terminal and
// for one tab-separated field.
std::string Field(std::u16string_view text) {
  return platform::Utf8FromUtf16(TerminalSafe(text, u' '));
}

// A time of the history (milliseconds since 1970 UTC) in local time.
std::string TimeText(int64_t milliseconds) {
  const time_t seconds = static_cast<time_t>(milliseconds / 1000);
  struct tm local = {};
  char text[32];
  if (localtime_r(&seconds, &local) == nullptr ||
      std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local) == 0) {
    return kNoTime;
  }
  return text;
}

std::string FailureText(const HistoryCheck& check) {
  switch (check.Failure) {
    case CheckFailure::Setup:
      return "could not set up";
    case CheckFailure::Connect:
      return "could not connect";
    case CheckFailure::ConnectTimeout:
      return "connect time-out";
    case CheckFailure::ReceiveTimeout:
      return "receive time-out";
    case CheckFailure::Transport:
      return "connection failed";
    case CheckFailure::Redirect:
      return "bad redirect";
    case CheckFailure::TooSlow:
      return "too slow";
    case CheckFailure::Abandoned:
      return "given up";
    case CheckFailure::TooLarge:
      return "too large";
    case CheckFailure::OutOfSpace:
      return "disk full";
    case CheckFailure::HttpStatus:
      return "HTTP " + std::to_string(check.HttpStatus);
    case CheckFailure::StoreFailed:
      return "not stored";
    default:
      return "error";
  }
}

std::string OutcomeText(const CopyLine& line) {
  if (line.BeforeHistory) {
    return "stored before the history";
  }
  switch (line.Check.Outcome) {
    case CheckOutcome::Stored:
      return "stored";
    case CheckOutcome::UnchangedLastModified:
      return "unchanged (Last-Modified)";
    case CheckOutcome::NotModified:
      return "unchanged (304)";
    case CheckOutcome::SameContent:
      return "unchanged (same content)";
    case CheckOutcome::Failed:
      break;
  }
  return "failed (" + FailureText(line.Check) + ")";
}

std::string ProblemText(const HistoryMessage& message) {
  const std::string path = platform::Utf8FromUtf16(message.Path);
  std::string text = "the patrol history " + path;
  switch (message.Problem) {
    case HistoryProblem::Damaged:
      text += " is damaged";
      break;
    case HistoryProblem::NewerSchema:
      text += " was written by a newer Kivo";
      break;
    default:
      text += " cannot be read";
      break;
  }
  if (!message.Detail.empty()) {
    text += " (" + message.Detail + ")";
  }
  return text + "; only what the list knows is shown";
}

EntryCopies LoadCopies(const UrlEntry& entry) {
  EntryCopies copies = LoadEntryCopies(entry.Url.View(), entry.LocalFile.View());
  for (const HistoryMessage& problem : copies.Problems) {
    Message(ProblemText(problem));
  }
  return copies;
}

std::string CopyCountText(const EntryCopies& copies) {
  int32_t count = 0;
  for (const CopyLine& line : copies.Lines) {
    count = std::max(count, line.CopyNumber);
  }
  if (count == 0) {
    return "no copies";
  }
  return count == 1 ? "1 copy" : std::to_string(count) + " copies";
}

std::string CopyName(int64_t number, const CopyLine& line) {
  return "copy " + std::to_string(number) + " (" + Field(line.Check.StoredPath) + ")";
}

// Says why a copy was not compared; true when it was read.
bool CheckRead(CopyRead read, int64_t number, const CopyLine& line) {
  switch (read) {
    case CopyRead::Read:
      return true;
    case CopyRead::Missing:
      Message(CopyName(number, line) + " is missing");
      break;
    case CopyRead::Unreadable:
      Message(CopyName(number, line) + " cannot be read");
      break;
    case CopyRead::NotText:
      Message(CopyName(number, line) + " is no page; it has no text to compare");
      break;
    case CopyRead::TooLarge:
      Message(CopyName(number, line) + " is larger than " +
              std::to_string(kMaxComparedBytes >> 20) + " MiB and is not compared");
      break;
  }
  return false;
}

// A diff label: the copy's path and its time.
std::string Label(const CopyLine& line) {
  return platform::Utf8FromUtf16(TerminalSafe(line.Check.StoredPath, u'?')) + "  " +
         (line.BeforeHistory ? kNoTime : TimeText(line.Check.CheckedAt));
}

bool UseColour() {
  const char* noColour = std::getenv("NO_COLOR");
  return ::isatty(STDOUT_FILENO) != 0 && (noColour == nullptr || *noColour == '\0');
}

std::string TriggerText(PatrolTrigger trigger) {
  switch (trigger) {
    case PatrolTrigger::Gui:
      return "kivo";
    case PatrolTrigger::GuiOption:
      return "kivo /P";
    case PatrolTrigger::Scheduled:
      return "scheduled";
    default:
      return "kivo-cli";
  }
}

std::string CountsText(const PatrolCounts& counts) {
  const uint32_t unchanged = counts.UnchangedLastModified + counts.NotModified + counts.SameContent;
  return "updated " + std::to_string(counts.Updated) + ", unchanged " + std::to_string(unchanged) +
         " (Last-Modified " + std::to_string(counts.UnchangedLastModified) + ", 304 " +
         std::to_string(counts.NotModified) + ", same content " +
         std::to_string(counts.SameContent) + "), failed " + std::to_string(counts.Failed);
}

}  // namespace

int PrintEntryHistory(const UrlEntry& entry) {
  const EntryCopies copies = LoadCopies(entry);
  for (const CopyLine& line : copies.Lines) {
    const bool copy = line.CopyNumber != 0;
    const std::optional<uint64_t>& size = line.Check.StoredSize;
    std::printf("%s\t%s\t%s\t%s\t%s\n", copy ? std::to_string(line.CopyNumber).c_str() : "-",
                line.BeforeHistory ? kNoTime : TimeText(line.Check.CheckedAt).c_str(),
                OutcomeText(line).c_str(), copy && size ? std::to_string(*size).c_str() : "-",
                copy ? Field(line.Check.StoredPath).c_str() : "-");
  }
  if (copies.Lines.empty()) {
    Message("the entry has no copies yet");
  } else if (copies.EarlierUnknown) {
    Message("copies stored before the oldest line shown are not known");
  }
  return kExitOk;
}

int PrintCopyDiff(const UrlEntry& entry, int64_t fromCopy, int64_t toCopy) {
  const EntryCopies copies = LoadCopies(entry);
  const std::optional<size_t> older = FindCopy(copies, fromCopy);
  const std::optional<size_t> newer = FindCopy(copies, toCopy);
  for (auto [found, number] : {std::pair{older, fromCopy}, std::pair{newer, toCopy}}) {
    if (!found) {
      Message("nothing to compare: there is no copy " + std::to_string(number) +
              " (the entry has " + CopyCountText(copies) + ")");
      return kExitNothingToCompare;
    }
  }
  if (fromCopy == toCopy) {
    Message("nothing to compare: copy " + std::to_string(fromCopy) + " is the same copy");
    return kExitNothingToCompare;
  }
  const CopyLine& from = copies.Lines[*older];
  const CopyLine& to = copies.Lines[*newer];
  const platform::CodePage codePage(platform::AnsiCodePageName());
  CopyComparison comparison = CompareCopies(from.Check.StoredPath, to.Check.StoredPath, codePage);
  const bool fromRead = CheckRead(comparison.Older, fromCopy, from);
  if (!CheckRead(comparison.Newer, toCopy, to) || !fromRead) {
    return kExitNothingToCompare;
  }
  const std::string pair = "copies " + std::to_string(fromCopy) + " and " + std::to_string(toCopy);
  switch (comparison.Diff.Status) {
    case TextDiffStatus::Identical:
      Message("nothing to compare: " + pair + " have the same text");
      return kExitNothingToCompare;
    case TextDiffStatus::TooDifferent:
      Message("nothing to compare: " + pair + " differ too much to compare line by line");
      return kExitNothingToCompare;
    case TextDiffStatus::LinesOnly:
      Message("some changed lines differ too much to mark their changed words");
      break;
    case TextDiffStatus::Compared:
      break;
  }
  // Bytes of a page that did not decode must not reach the terminal raw.
  for (DiffHunk& hunk : comparison.Diff.Hunks) {
    for (DiffLine& line : hunk.Lines) {
      line.Text = TerminalSafe(line.Text, u'\uFFFD');
    }
  }
  const std::string text =
      FormatUnifiedDiff(comparison.Diff, Label(from), Label(to),
                        UseColour() ? DiffColour::Terminal : DiffColour::Plain);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return kExitOk;
}

int PrintPatrolLog(const UrlList& list, int64_t count) {
  PatrolHistory history(HistoryAccess::Read, PatrolHistory::DefaultPath(), 0);
  for (const HistoryMessage& message : history.TakeMessages()) {
    if (message.Problem == HistoryProblem::Missing) {
      Message("no patrol has been recorded yet");
      return kExitOk;
    }
    Message(ProblemText(message));
  }
  std::unordered_map<std::u16string, std::u16string> titles;
  for (const UrlEntry* entry : list) {
    titles.emplace(std::u16string(entry->Url.View()), std::u16string(entry->Name.View()));
  }
  for (const PatrolLog& log : history.Queries().RecentPatrols(static_cast<size_t>(count))) {
    const PatrolRecord& patrol = log.Patrol;
    std::printf("%s\t%s\t%s%s\n", TimeText(patrol.StartedAt).c_str(),
                TriggerText(patrol.Trigger).c_str(), CountsText(patrol.Counts).c_str(),
                patrol.FinishedAt ? "" : "\tunfinished");
    for (const HistoryCheck& check : log.Entries) {
      const auto title = titles.find(check.Url);
      std::printf("\t%s\t%s\t%s\n", OutcomeText(CopyLine{check, false, 0}).c_str(),
                  title == titles.end() ? "" : Field(title->second).c_str(),
                  Field(check.Url).c_str());
    }
  }
  // A read cut short by damage looks like a short log, so it is told.
  for (const HistoryMessage& message : history.TakeMessages()) {
    Message(ProblemText(message));
  }
  return kExitOk;
}

}  // namespace kivo
