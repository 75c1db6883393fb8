#include "html/WordDiff.h"

#include <algorithm>
#include <unordered_map>

#include "html/SequenceDiff.h"
#include "platform/Utf8.h"

namespace kivo {
namespace {

enum class WordClass { Letters, Space, Single };

struct Word {
  size_t Line = 0;
  size_t Begin = 0;
  size_t Length = 0;
  bool Space = false;
  bool Changed = false;
};

bool IsSpaceUnit(char16_t u) {
  return u == ' ' || u == '\t' || u == 0xA0 || u == 0x3000;
}

// Letters and digits of the alphabets that put spaces between words; every
// other character (a kanji, a kana, a punctuation mark) is a word of its own.
bool IsLetterUnit(char16_t u) {
  return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' ||
         (u >= 0xC0 && u <= 0x52F && u != 0xD7 && u != 0xF7) || (u >= 0xFF10 && u <= 0xFF19) ||
         (u >= 0xFF21 && u <= 0xFF3A) || (u >= 0xFF41 && u <= 0xFF5A);
}

WordClass ClassOf(char16_t u) {
  return IsSpaceUnit(u)    ? WordClass::Space
         : IsLetterUnit(u) ? WordClass::Letters
                           : WordClass::Single;
}

std::vector<Word> SplitWords(const std::vector<std::u16string_view>& lines) {
  std::vector<Word> words;
  for (size_t line = 0; line < lines.size(); ++line) {
    const std::u16string_view text = lines[line];
    if (line > 0) {
      // A line break reads as a space, so that text that was only wrapped
      // differently shows no change; it marks nothing when it changes.
      words.push_back({line - 1, lines[line - 1].size(), 0, true, false});
    }
    for (size_t at = 0; at < text.size();) {
      const WordClass kind = ClassOf(text[at]);
      size_t end = at + 1;
      if (kind != WordClass::Single) {
        while (end < text.size() && ClassOf(text[end]) == kind) {
          ++end;
        }
      } else if (platform::IsHighSurrogate(text[at]) && end < text.size()) {
        ++end;  // both halves of a surrogate pair
      }
      words.push_back({line, at, end - at, kind == WordClass::Space, false});
      at = end;
    }
  }
  return words;
}

std::vector<uint32_t> Symbols(const std::vector<Word>& words,
                              const std::vector<std::u16string_view>& lines,
                              std::unordered_map<std::u16string_view, uint32_t>& table) {
  std::vector<uint32_t> symbols;
  symbols.reserve(words.size());
  for (const Word& word : words) {
    const std::u16string_view text =
        word.Length == 0 ? u" " : lines[word.Line].substr(word.Begin, word.Length);
    symbols.push_back(table.emplace(text, static_cast<uint32_t>(table.size())).first->second);
  }
  return symbols;
}

// Collects each line's changed runs, joining changed words across the white
// space between them.
std::vector<std::vector<DiffSpan>> Spans(std::vector<Word>& words, size_t lineCount) {
  for (size_t i = 1; i + 1 < words.size(); ++i) {
    if (words[i].Space && words[i - 1].Changed && words[i + 1].Changed &&
        words[i - 1].Line == words[i].Line && words[i + 1].Line == words[i].Line) {
      words[i].Changed = true;
    }
  }
  std::vector<std::vector<DiffSpan>> spans(lineCount);
  for (size_t i = 0; i < words.size(); ++i) {
    if (!words[i].Changed || words[i].Length == 0) {
      continue;
    }
    std::vector<DiffSpan>& line = spans[words[i].Line];
    const bool joins = i > 0 && words[i - 1].Changed && words[i - 1].Line == words[i].Line;
    if (joins) {
      line.back().Length += words[i].Length;
    } else {
      line.push_back({words[i].Begin, words[i].Length});
    }
  }
  return spans;
}

}  // namespace

bool CompareWords(const std::vector<std::u16string_view>& removed,
                  const std::vector<std::u16string_view>& added, int64_t& budget,
                  ChangedWords& words) {
  std::vector<Word> oldWords = SplitWords(removed);
  std::vector<Word> newWords = SplitWords(added);
  std::unordered_map<std::u16string_view, uint32_t> table;
  const std::vector<uint32_t> oldSymbols = Symbols(oldWords, removed, table);
  const std::vector<uint32_t> newSymbols = Symbols(newWords, added, table);
  const std::optional<std::vector<EditStep>> steps = DiffSequences(oldSymbols, newSymbols, budget);
  if (!steps) {
    words = {};
    return false;
  }
  // Lines that share no word at all are simply replaced; marking every word
  // of them would only repeat that.
  if (std::find(steps->begin(), steps->end(), EditStep::Keep) == steps->end()) {
    words.Removed.assign(removed.size(), {});
    words.Added.assign(added.size(), {});
    return true;
  }
  size_t oldAt = 0;
  size_t newAt = 0;
  for (EditStep step : *steps) {
    if (step == EditStep::Keep) {
      ++oldAt;
      ++newAt;
    } else if (step == EditStep::Remove) {
      oldWords[oldAt++].Changed = true;
    } else {
      newWords[newAt++].Changed = true;
    }
  }
  words.Removed = Spans(oldWords, removed.size());
  words.Added = Spans(newWords, added.size());
  return true;
}

}  // namespace kivo
