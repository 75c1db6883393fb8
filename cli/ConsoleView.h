#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "patrol/PatrolView.h"

namespace kivo {

// How the console shows a patrol's progress.
enum class ConsoleStyle {
  LiveLine,    // one line redrawn in place, with a bar: for a terminal
  PlainLines,  // one line per download, never redrawn: for logs and pipes
};

// The progress view of the command line. It runs on the worker's own
// thread, so entry updates are applied directly. Output is UTF-8: the
// progress dialog's labels and state texts, and English stop messages.
class ConsoleView : public PatrolView {
 public:
  // Writes to out (usually stderr) in style; width is the terminal's
  // column count for LiveLine.
  ConsoleView(std::FILE* out, ConsoleStyle style, int32_t width);

  void SetTitle(std::u16string_view name) override;
  void SetUrl(std::u16string_view url) override;
  void SetState(PatrolState state) override;
  void SetBytes(std::optional<ByteCount> count) override;
  void SetPercent(int32_t percent) override;
  void ShowError(const PatrolError& error) override;
  void UpdateEntry(UrlEntry& entry, const EntryUpdate& update) override;
  void Finished() override;

  // The user entries updated so far, in the order the patrol stored them.
  const std::vector<const UrlEntry*>& UpdatedEntries() const { return updatedEntries_; }

 private:
  enum class Redraw { Now, WhenDue };

  void DrawLiveLine(Redraw redraw);
  void ClearLiveLine();
  // Adds the plain line of the download shown since the last SetUrl, if it
  // has not been added yet, to the pending output.
  void EndDownload();
  // Adds a plain line to the pending output.
  void PrintLine(std::string_view label, std::u16string_view text);
  // Writes the pending plain lines in one call.
  void WritePending();

  std::FILE* out_;
  ConsoleStyle style_;
  int32_t width_;
  std::u16string title_;
  std::u16string url_;
  std::u16string state_;
  std::u16string bytes_;
  std::string pending_;  // plain lines not yet written
  int32_t percent_ = 0;
  bool lineShown_ = false;
  bool downloadOpen_ = false;  // PlainLines: the current download has no line yet
  std::vector<const UrlEntry*> updatedEntries_;
  std::chrono::steady_clock::time_point lastDraw_{};
};

// Returns text that is safe to print on a terminal: C0 and C1 controls and
// DEL become `control`; bytes that did not decode and lone surrogates become
// U+FFFD. Nothing read from a page or the list can then start an escape
// sequence or reach the terminal as a raw byte.
std::u16string TerminalSafe(std::u16string_view text, char16_t control);

// Returns the number of terminal columns TerminalSafe text takes: two for
// wide East Asian characters, one for everything else (half-width katakana
// included).
int32_t DisplayWidth(std::u16string_view text);

// Cuts text so that it takes at most `columns` terminal columns.
std::u16string FitToWidth(std::u16string_view text, int32_t columns);

}  // namespace kivo
