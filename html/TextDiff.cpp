#include "html/TextDiff.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "html/SequenceDiff.h"
#include "html/WordDiff.h"

namespace kivo {
namespace {

using Lines = std::vector<std::u16string_view>;

Lines SplitLines(std::u16string_view text) {
  Lines lines;
  while (!text.empty()) {
    const size_t end = std::min(text.find(u'\n'), text.size());
    lines.push_back(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return lines;
}

// One line of the whole comparison, with its index on each side it is on.
struct LineEdit {
  DiffLineKind Kind = DiffLineKind::Kept;
  size_t Old = 0;
  size_t New = 0;
  std::vector<DiffSpan> Changed;
};

// A run of removed and added lines between two kept ones: edits [Begin, End).
struct Change {
  size_t Begin = 0;
  size_t End = 0;
};

class Comparison {
 public:
  Comparison(std::u16string_view before, std::u16string_view after, const DiffLimits& limits)
      : old_(SplitLines(before)), new_(SplitLines(after)), limits_(limits) {}

  TextDiff Run();

 private:
  std::optional<std::vector<EditStep>> DiffLines();
  void BuildEdits(const std::vector<EditStep>& steps);
  void MarkWords(const Change& change);
  std::vector<DiffHunk> BuildHunks() const;

  Lines old_;
  Lines new_;
  DiffLimits limits_;
  std::vector<LineEdit> edits_;
  std::vector<Change> changes_;
  bool wordsOmitted_ = false;
};

TextDiff Comparison::Run() {
  const std::optional<std::vector<EditStep>> steps = DiffLines();
  if (!steps) {
    return {TextDiffStatus::TooDifferent, {}};
  }
  BuildEdits(*steps);
  if (changes_.empty()) {
    return {TextDiffStatus::Identical, {}};
  }
  for (const Change& change : changes_) {
    MarkWords(change);
  }
  return {wordsOmitted_ ? TextDiffStatus::LinesOnly : TextDiffStatus::Compared, BuildHunks()};
}

// The line script of the whole texts: the lines both begin and end with are
// kept without asking dtl, which then compares only what lies between.
std::optional<std::vector<EditStep>> Comparison::DiffLines() {
  size_t head = 0;
  while (head < old_.size() && head < new_.size() && old_[head] == new_[head]) {
    ++head;
  }
  size_t tail = 0;
  while (tail < old_.size() - head && tail < new_.size() - head &&
         old_[old_.size() - 1 - tail] == new_[new_.size() - 1 - tail]) {
    ++tail;
  }
  std::unordered_map<std::u16string_view, uint32_t> table;
  auto symbols = [&](const Lines& lines) {
    std::vector<uint32_t> ids;
    for (size_t i = head; i < lines.size() - tail; ++i) {
      ids.push_back(table.emplace(lines[i], static_cast<uint32_t>(table.size())).first->second);
    }
    return ids;
  };
  const std::vector<uint32_t> oldIds = symbols(old_);
  const std::vector<uint32_t> newIds = symbols(new_);
  int64_t budget = limits_.LineWork;
  std::optional<std::vector<EditStep>> middle = DiffSequences(oldIds, newIds, budget);
  if (!middle) {
    return std::nullopt;
  }
  std::vector<EditStep> steps(head, EditStep::Keep);
  steps.insert(steps.end(), middle->begin(), middle->end());
  steps.insert(steps.end(), tail, EditStep::Keep);
  return steps;
}

// Turns the script into line edits, with each change's removed lines first,
// and notes where the changes are.
void Comparison::BuildEdits(const std::vector<EditStep>& steps) {
  size_t oldAt = 0;
  size_t newAt = 0;
  for (size_t i = 0; i < steps.size();) {
    if (steps[i] == EditStep::Keep) {
      edits_.push_back({DiffLineKind::Kept, oldAt++, newAt++, {}});
      ++i;
      continue;
    }
    size_t end = i;
    while (end < steps.size() && steps[end] != EditStep::Keep) {
      ++end;
    }
    Change change{edits_.size(), 0};
    for (size_t j = i; j < end; ++j) {
      if (steps[j] == EditStep::Remove) {
        edits_.push_back({DiffLineKind::Removed, oldAt++, newAt, {}});
      }
    }
    for (size_t j = i; j < end; ++j) {
      if (steps[j] == EditStep::Add) {
        edits_.push_back({DiffLineKind::Added, oldAt, newAt++, {}});
      }
    }
    change.End = edits_.size();
    changes_.push_back(change);
    i = end;
  }
}

void Comparison::MarkWords(const Change& change) {
  Lines removed;
  Lines added;
  for (size_t i = change.Begin; i < change.End; ++i) {
    const LineEdit& edit = edits_[i];
    if (edit.Kind == DiffLineKind::Removed) {
      removed.push_back(old_[edit.Old]);
    } else {
      added.push_back(new_[edit.New]);
    }
  }
  if (removed.empty() || added.empty()) {
    return;
  }
  size_t units = 0;
  for (const Lines* side : {&removed, &added}) {
    for (std::u16string_view line : *side) {
      units += line.size();
    }
  }
  ChangedWords words;
  if (units > limits_.MaxChangeUnits || !CompareWords(removed, added, limits_.WordWork, words)) {
    wordsOmitted_ = true;
    return;
  }
  for (size_t i = change.Begin; i < change.End; ++i) {
    const size_t index = i - change.Begin;
    edits_[i].Changed = index < removed.size() ? std::move(words.Removed[index])
                                               : std::move(words.Added[index - removed.size()]);
  }
}

std::vector<DiffHunk> Comparison::BuildHunks() const {
  const size_t context = limits_.ContextLines;
  std::vector<DiffHunk> hunks;
  for (size_t c = 0; c < changes_.size();) {
    // A hunk takes every following change whose kept lines in between its
    // context would overlap.
    size_t last = c;
    while (last + 1 < changes_.size() &&
           changes_[last + 1].Begin - changes_[last].End <= 2 * context) {
      ++last;
    }
    const size_t begin = changes_[c].Begin - std::min(context, changes_[c].Begin);
    const size_t end = std::min(changes_[last].End + context, edits_.size());
    DiffHunk hunk;
    hunk.OldStart = edits_[begin].Old;
    hunk.NewStart = edits_[begin].New;
    for (size_t i = begin; i < end; ++i) {
      const LineEdit& edit = edits_[i];
      const bool onOld = edit.Kind != DiffLineKind::Added;
      const bool onNew = edit.Kind != DiffLineKind::Removed;
      hunk.OldCount += onOld ? 1 : 0;
      hunk.NewCount += onNew ? 1 : 0;
      hunk.Lines.push_back(
          {edit.Kind, std::u16string(onOld ? old_[edit.Old] : new_[edit.New]), edit.Changed});
    }
    hunks.push_back(std::move(hunk));
    c = last + 1;
  }
  return hunks;
}

}  // namespace

TextDiff DiffTexts(std::u16string_view before, std::u16string_view after,
                   const DiffLimits& limits) {
  if (before == after) {
    return {TextDiffStatus::Identical, {}};
  }
  // Counting comes before splitting, so that a text of millions of short
  // lines costs no more than one pass.
  const auto tooLong = [&](std::u16string_view text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), u'\n')) >= limits.MaxLines;
  };
  if (tooLong(before) || tooLong(after)) {
    return {TextDiffStatus::TooDifferent, {}};
  }
  return Comparison(before, after, limits).Run();
}

}  // namespace kivo
