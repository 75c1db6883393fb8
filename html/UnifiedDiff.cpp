#include "html/UnifiedDiff.h"

#include "platform/Utf8.h"

namespace kivo {
namespace {

constexpr std::string_view kBold = "\x1b[1m";
constexpr std::string_view kCyan = "\x1b[36m";
constexpr std::string_view kRed = "\x1b[31m";
constexpr std::string_view kGreen = "\x1b[32m";
constexpr std::string_view kReverse = "\x1b[7m";
constexpr std::string_view kReverseOff = "\x1b[27m";
constexpr std::string_view kReset = "\x1b[0m";

bool IsControl(char16_t u) {
  return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

void AppendText(std::u16string_view text, std::string& out) {
  std::u16string safe(text);
  for (char16_t& u : safe) {
    if (IsControl(u)) {
      u = 0xFFFD;
    }
  }
  out += platform::Utf8FromUtf16(safe);
}

// A label with its control bytes made "?", for the same reason.
std::string SafeLabel(std::string_view label) {
  std::string safe(label);
  for (char& c : safe) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      c = '?';
    }
  }
  return safe;
}

// "-3,2" for two lines after the third, "-3,0" for none after it.
std::string Range(char sign, size_t start, size_t count) {
  return sign + std::to_string(count == 0 ? start : start + 1) + "," + std::to_string(count);
}

void AppendLine(const DiffLine& line, DiffColour colour, std::string& out) {
  const bool coloured = colour == DiffColour::Terminal && line.Kind != DiffLineKind::Kept;
  if (coloured) {
    out += line.Kind == DiffLineKind::Removed ? kRed : kGreen;
  }
  out += line.Kind == DiffLineKind::Kept ? ' ' : line.Kind == DiffLineKind::Removed ? '-' : '+';
  const std::u16string_view text = line.Text;
  size_t at = 0;
  for (const DiffSpan& span : line.Changed) {
    if (!coloured || span.Begin < at || span.Begin + span.Length > text.size()) {
      continue;
    }
    AppendText(text.substr(at, span.Begin - at), out);
    out += kReverse;
    AppendText(text.substr(span.Begin, span.Length), out);
    out += kReverseOff;
    at = span.Begin + span.Length;
  }
  AppendText(text.substr(at), out);
  if (coloured) {
    out += kReset;
  }
  out += '\n';
}

}  // namespace

std::string FormatUnifiedDiff(const TextDiff& diff, std::string_view oldLabel,
                              std::string_view newLabel, DiffColour colour) {
  std::string out;
  if (diff.Hunks.empty()) {
    return out;
  }
  const bool coloured = colour == DiffColour::Terminal;
  const auto styled = [&](std::string_view style, const std::string& text) {
    out += coloured ? std::string(style) + text + std::string(kReset) : text;
    out += '\n';
  };
  styled(kBold, "--- " + SafeLabel(oldLabel));
  styled(kBold, "+++ " + SafeLabel(newLabel));
  for (const DiffHunk& hunk : diff.Hunks) {
    styled(kCyan, "@@ " + Range('-', hunk.OldStart, hunk.OldCount) + " " +
                      Range('+', hunk.NewStart, hunk.NewCount) + " @@");
    for (const DiffLine& line : hunk.Lines) {
      AppendLine(line, colour, out);
    }
  }
  return out;
}

}  // namespace kivo
