#include "cli/ConsoleView.h"

#include <algorithm>
#include <string>

#include "platform/StorageSpace.h"
#include "platform/Utf8.h"

namespace kivo {

namespace {

// Live redraws of the byte count are limited to about ten a second; every
// 1024-byte piece would otherwise rewrite the terminal line.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int32_t kBarCells = 20;

bool IsWide(char16_t unit) {
  // Half-width katakana and forms stay narrow; the main CJK blocks and the
  // full-width forms take two columns.
  if (unit >= 0xFF61 && unit <= 0xFFDC) {
    return false;
  }
  return (unit >= 0x1100 && unit <= 0x115F) || (unit >= 0x2E80 && unit <= 0xA4CF) ||
         (unit >= 0xAC00 && unit <= 0xD7A3) || (unit >= 0xF900 && unit <= 0xFAFF) ||
         (unit >= 0xFE30 && unit <= 0xFE4F) || (unit >= 0xFF00 && unit <= 0xFF60) ||
         (unit >= 0xFFE0 && unit <= 0xFFE6);
}

bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

int32_t UnitWidth(char16_t unit) {
  if (IsLowSurrogate(unit)) {
    return 0;  // the pair was counted at its high half
  }
  if (unit < 0x20 || unit == 0x7F) {
    return 0;
  }
  // Characters beyond the first plane are mostly emoji and rare ideographs,
  // which terminals draw two columns wide.
  if (IsHighSurrogate(unit)) {
    return 2;
  }
  return IsWide(unit) ? 2 : 1;
}

// Control characters in page titles or URLs must not move the cursor or
// start escape sequences on the terminal.
std::u16string Printable(std::u16string_view text) {
  return TerminalSafe(text, u'?');
}

// The state line's texts, those of the progress dialog.
std::u16string_view StateText(PatrolState state) {
  switch (state) {
    case PatrolState::Downloading:
      return u"ﾀﾞｳﾝﾛｰﾄﾞ中...";
    case PatrolState::Analysing:
      return u"解析中...";
    case PatrolState::Rewriting:
      return u"書換中...";
  }
  return u"";
}

// "received/total", "received", or nothing before a download's head.
std::u16string ByteText(const std::optional<ByteCount>& count) {
  if (!count) {
    return std::u16string();
  }
  std::string text = std::to_string(count->Received);
  if (count->Total) {
    text += "/" + std::to_string(*count->Total);
  }
  return platform::Utf16FromUtf8(text);
}

// What went wrong with the history; the patrol itself went on without it.
std::u16string HistoryText(const PatrolError& error) {
  const std::u16string history = u"The patrol history " + error.Folder;
  const std::u16string notRecorded = u"; this patrol is not recorded in it.";
  switch (error.History) {
    case HistoryProblem::MovedAside:
      return u"The patrol history was damaged; it was kept as " + error.Folder +
             u" and a new one begun.";
    case HistoryProblem::Damaged:
      return history + u" is damaged" + notRecorded;
    case HistoryProblem::NewerSchema:
      return history + u" was written by a newer version of Kivo" + notRecorded;
    case HistoryProblem::Full:
      return u"The disk of the patrol history " + error.Folder + u" is full" + notRecorded;
    case HistoryProblem::Locked:
      return history + u" is in use by another program" + notRecorded;
    default:
      return history + u" cannot be used (" + platform::Utf16FromUtf8(error.Detail) + u")" +
             notRecorded;
  }
}

std::u16string ErrorText(const PatrolError& error) {
  switch (error.Kind) {
    case PatrolErrorKind::NoHttpSession:
      return u"Internet open error.";
    case PatrolErrorKind::OutOfSpace:
      return u"Not enough disk space to store files in " + error.Folder +
             u". The patrol was stopped.";
    case PatrolErrorKind::UnusableFolder:
      return u"Cannot store files in the folder " + error.Folder + u": " +
             platform::SystemErrorText(error.SystemError);
    case PatrolErrorKind::History:
      return HistoryText(error);
  }
  return std::u16string();
}

}  // namespace

std::u16string TerminalSafe(std::u16string_view text, char16_t control) {
  std::u16string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      result.append(text.substr(i, 2));
      ++i;
    } else if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F)) {
      result.push_back(control);
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      // Escaped bytes would reach the terminal raw; other lone halves are
      // not text at all.
      result.push_back(u'\uFFFD');
    } else {
      result.push_back(unit);
    }
  }
  return result;
}

int32_t DisplayWidth(std::u16string_view text) {
  int32_t width = 0;
  for (char16_t unit : text) {
    width += UnitWidth(unit);
  }
  return width;
}

std::u16string FitToWidth(std::u16string_view text, int32_t columns) {
  int32_t width = 0;
  size_t end = 0;
  for (; end < text.size(); ++end) {
    const int32_t unitWidth = UnitWidth(text[end]);
    if (width + unitWidth > columns) {
      break;
    }
    width += unitWidth;
  }
  // Never split a surrogate pair.
  if (end > 0 && end < text.size() && IsLowSurrogate(text[end])) {
    --end;
  }
  return std::u16string(text.substr(0, end));
}

ConsoleView::ConsoleView(std::FILE* out, ConsoleStyle style, int32_t width)
    : out_(out), style_(style), width_(std::max(width, 20)) {}

void ConsoleView::SetTitle(std::u16string_view name) {
  std::u16string title = Printable(name);
  if (title == title_) {
    return;
  }
  title_ = std::move(title);
  if (style_ == ConsoleStyle::PlainLines) {
    // The download before belongs to the previous entry, so its line comes
    // first.
    EndDownload();
    PrintLine("ﾀｲﾄﾙ: ", title_);
  } else {
    DrawLiveLine(Redraw::Now);
  }
}

void ConsoleView::SetUrl(std::u16string_view url) {
  if (style_ == ConsoleStyle::PlainLines) {
    // A new download starts: the previous one is over, and its line goes
    // out together with the title that may follow it, so that a log costs
    // one write per file.
    EndDownload();
    WritePending();
    bytes_.clear();
    downloadOpen_ = true;
  }
  url_ = Printable(url);
  if (style_ == ConsoleStyle::LiveLine) {
    DrawLiveLine(Redraw::Now);
  }
}

void ConsoleView::SetState(PatrolState state) {
  state_ = StateText(state);
  if (style_ == ConsoleStyle::LiveLine) {
    DrawLiveLine(Redraw::Now);
    return;
  }
  // Every download is a line of its own and every page is analysed, so a
  // log names only the rewrite pass. It goes out at once because the pass
  // may take a while.
  if (state == PatrolState::Rewriting) {
    EndDownload();
    PrintLine("状態: ", state_);
    WritePending();
  }
}

void ConsoleView::SetBytes(std::optional<ByteCount> count) {
  bytes_ = ByteText(count);
  if (style_ == ConsoleStyle::LiveLine) {
    DrawLiveLine(Redraw::WhenDue);
  }
}

void ConsoleView::SetPercent(int32_t percent) {
  percent_ = std::clamp(percent, 0, 100);
  if (style_ == ConsoleStyle::LiveLine) {
    DrawLiveLine(Redraw::WhenDue);
  }
}

void ConsoleView::ShowError(const PatrolError& error) {
  ClearLiveLine();
  EndDownload();
  WritePending();
  std::fprintf(out_, "%s\n", platform::Utf8FromUtf16(Printable(ErrorText(error))).c_str());
  std::fflush(out_);
}

void ConsoleView::UpdateEntry(UrlEntry& entry, const EntryUpdate& update) {
  ApplyEntryUpdate(entry, update);
  updatedEntries_.push_back(&entry);
}

void ConsoleView::Finished() {
  if (style_ == ConsoleStyle::LiveLine) {
    DrawLiveLine(Redraw::Now);
    if (lineShown_) {
      std::fputc('\n', out_);
      lineShown_ = false;
    }
  } else {
    EndDownload();
    WritePending();
  }
  std::fflush(out_);
}

void ConsoleView::DrawLiveLine(Redraw redraw) {
  const auto now = std::chrono::steady_clock::now();
  if (redraw == Redraw::WhenDue && lineShown_ && now - lastDraw_ < kRedrawInterval) {
    return;
  }
  lastDraw_ = now;
  const int32_t filled = percent_ * kBarCells / 100;
  std::u16string line = u"[";
  line.append(static_cast<size_t>(filled), u'#');
  line.append(static_cast<size_t>(kBarCells - filled), u'-');
  line += u"] ";
  std::u16string percentText = platform::Utf16FromUtf8(std::to_string(percent_) + "%");
  line.append(4 - std::min<size_t>(4, percentText.size()), u' ');
  line += percentText;
  line += u" ";
  line += bytes_;
  line += u" ";
  line += state_;
  line += u" ";
  line += title_;
  line += u" ";
  line += url_;
  // One column stays free so that the cursor never wraps to a new line.
  const std::string text = platform::Utf8FromUtf16(FitToWidth(line, width_ - 1));
  std::fprintf(out_, "\r\033[K%s", text.c_str());
  std::fflush(out_);
  lineShown_ = true;
}

void ConsoleView::ClearLiveLine() {
  if (style_ == ConsoleStyle::LiveLine && lineShown_) {
    std::fputs("\r\033[K", out_);
    lineShown_ = false;
  }
}

void ConsoleView::EndDownload() {
  if (!downloadOpen_) {
    return;
  }
  downloadOpen_ = false;
  // The byte text is the last thing the download showed: "received/total",
  // or "received" when the server gave no length. A download that brought
  // nothing, such as an unchanged page or a failed request, has none.
  std::u16string line = url_;
  if (!bytes_.empty()) {
    line += u' ';
    line += bytes_;
  }
  PrintLine("URL: ", line);
}

void ConsoleView::PrintLine(std::string_view label, std::u16string_view text) {
  pending_.append(label);
  pending_ += platform::Utf8FromUtf16(text);
  pending_ += '\n';
}

void ConsoleView::WritePending() {
  if (pending_.empty()) {
    return;
  }
  std::fwrite(pending_.data(), 1, pending_.size(), out_);
  std::fflush(out_);
  pending_.clear();
}

}  // namespace kivo
