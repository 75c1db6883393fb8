#include "changes/EntryCopies.h"

#include <algorithm>
#include <string>

#include "patrol/PatrolHistory.h"
#include "platform/BufferedFile.h"
#include "platform/HostFile.h"

namespace kivo {
namespace {

std::optional<uint64_t> SizeOfFile(std::u16string_view path) {
  const platform::UniqueFd file =
      platform::OpenWithModeWord(path, static_cast<uint32_t>(OpenMode::ReadExisting));
  if (!file.IsValid()) {
    return std::nullopt;
  }
  return platform::FileSize(file.Get());
}

bool IsCopy(const HistoryCheck& check) {
  return check.Outcome == CheckOutcome::Stored && !check.StoredPath.empty();
}

// The copy that the history knows of but never recorded as stored: the one
// the oldest recorded copy followed, or, when no copy was recorded, the
// entry's current one. Empty when there is none.
std::u16string CopyBeforeHistory(const std::vector<CopyLine>& lines,
                                 std::u16string_view localFile) {
  const auto oldest = std::find_if(lines.rbegin(), lines.rend(),
                                   [](const CopyLine& line) { return IsCopy(line.Check); });
  if (oldest == lines.rend()) {
    return std::u16string(localFile);
  }
  const std::u16string& follows = oldest->Check.FollowsPath;
  const bool recorded = std::any_of(lines.begin(), lines.end(), [&](const CopyLine& line) {
    return IsCopy(line.Check) && line.Check.StoredPath == follows;
  });
  return recorded ? std::u16string() : follows;
}

}  // namespace

EntryCopies ReadEntryCopies(HistoryQueries& queries, std::u16string_view url,
                            std::u16string_view localFile, size_t limit) {
  EntryCopies copies;
  for (HistoryCheck& check : queries.EntryHistory(url, localFile, limit)) {
    copies.Lines.push_back(CopyLine{std::move(check), false, 0});
  }
  if (copies.Lines.size() >= limit) {
    // Older lines exist; what came before them is not looked for.
    copies.EarlierUnknown = true;
  } else if (std::u16string before = CopyBeforeHistory(copies.Lines, localFile); !before.empty()) {
    CopyLine line;
    line.BeforeHistory = true;
    line.Check.Url = std::u16string(url);
    line.Check.StoredSize = SizeOfFile(before);
    line.Check.StoredPath = std::move(before);
    copies.Lines.push_back(std::move(line));
    copies.EarlierUnknown = true;
  }
  int32_t number = 0;
  for (CopyLine& line : copies.Lines) {
    if (IsCopy(line.Check)) {
      line.CopyNumber = ++number;
    }
  }
  return copies;
}

EntryCopies LoadEntryCopies(std::u16string_view url, std::u16string_view localFile, size_t limit) {
  // A reader never moves a damaged history aside, so the time is not used.
  PatrolHistory history(HistoryAccess::Read, PatrolHistory::DefaultPath(), 0);
  EntryCopies copies = ReadEntryCopies(history.Queries(), url, localFile, limit);
  for (HistoryMessage& message : history.TakeMessages()) {
    if (message.Problem != HistoryProblem::Missing) {
      copies.Problems.push_back(std::move(message));
    }
  }
  return copies;
}

std::optional<size_t> FindCopy(const EntryCopies& copies, int64_t number) {
  for (size_t i = 0; i < copies.Lines.size(); ++i) {
    if (number > 0 && copies.Lines[i].CopyNumber == number) {
      return i;
    }
  }
  return std::nullopt;
}

std::optional<size_t> CopyBefore(const EntryCopies& copies, size_t index) {
  for (size_t i = index + 1; i < copies.Lines.size(); ++i) {
    if (copies.Lines[i].CopyNumber != 0) {
      return i;
    }
  }
  return std::nullopt;
}

std::u16string_view CopyPathOf(const CopyLine& line) {
  return line.Check.StoredPath.empty() ? std::u16string_view(line.Check.FollowsPath)
                                       : std::u16string_view(line.Check.StoredPath);
}

}  // namespace kivo
