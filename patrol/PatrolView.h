#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "patrol/EntryUpdate.h"
#include "patrol/FetchProgress.h"
#include "patrol/HistoryRecords.h"
#include "urllist/UrlEntry.h"

namespace kivo {

// What the worker is doing, for the progress view's state line (control 1005).
enum class PatrolState {
  Downloading,
  Analysing,  // reading a stored page's links
  Rewriting,  // the rewrite pass at the end
};

// What a stop message reports.
enum class PatrolErrorKind {
  NoHttpSession,   // no HTTP session could be opened: nothing was done
  OutOfSpace,      // the disk of Folder is (nearly) full: the patrol stopped
  UnusableFolder,  // no file can be stored in Folder, for SystemError
  History,         // the patrol history could not be used as it should (History says why)
};

// One stop message, as values: the view words it in its own language.
struct PatrolError {
  PatrolErrorKind Kind = PatrolErrorKind::NoHttpSession;
  // The folder concerned; for History the database, or where a damaged one
  // was moved; empty for NoHttpSession.
  std::u16string Folder;
  int32_t SystemError = 0;                        // the errno behind UnusableFolder; 0 otherwise
  HistoryProblem History = HistoryProblem::None;  // for History: what was wrong
  std::string Detail{};  // for History: SQLite's own words, when it gave any

  bool operator==(const PatrolError&) const = default;
};

// What the patrol worker shows and changes while it runs: the progress
// dialog's controls, the list view's rows and the live entries behind them.
// It hands over values; each view words them in its own language.
//
// The worker calls every operation synchronously from its own thread and
// waits for it to return. An implementation that lives on another thread (the
// GUI dialog) forwards each call to its own thread and blocks until it has
// been served; the command line serves them directly. The byte count (control
// 1006) and the percentage (control 1007) come through FetchProgress. The
// Cancel button is not part of the view: it clears PatrolRunning.
class PatrolView : public FetchProgress {
 public:
  ~PatrolView() override = default;

  // Shows the title of the entry being processed (control 1001).
  virtual void SetTitle(std::u16string_view name) = 0;
  // Shows the URL being downloaded (control 1004).
  virtual void SetUrl(std::u16string_view url) = 0;
  // Shows what the worker is doing (control 1005).
  virtual void SetState(PatrolState state) = 0;
  // Shows a stop message owned by the progress view, and returns once it has
  // been acknowledged (or at once, where nobody can acknowledge it).
  virtual void ShowError(const PatrolError& error) = 0;
  // Applies `update` to the live user entry `entry` on the thread that owns
  // the entries, then redraws its row (entry.ListIndex). The worker never
  // writes a user entry itself, because the owner may be reading it.
  virtual void UpdateEntry(UrlEntry& entry, const EntryUpdate& update) = 0;
  // Tells the view that the patrol is over (the dialog's OK). Called exactly
  // once per patrol, as the worker's last act.
  virtual void Finished() = 0;
};

}  // namespace kivo
