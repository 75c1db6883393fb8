#pragma once

#include <string_view>

#include "patrol/EntryUpdate.h"
#include "patrol/FetchProgress.h"
#include "urllist/UrlEntry.h"

namespace kivo {

// The status texts of the progress view's state line (control 1005).
inline constexpr std::u16string_view kStateDownloading = u"ﾀﾞｳﾝﾛｰﾄﾞ中...";
inline constexpr std::u16string_view kStateAnalysing = u"解析中...";
inline constexpr std::u16string_view kStateRewriting = u"書換中...";
// The message a patrol shows when no HTTP session can be opened.
inline constexpr std::u16string_view kInternetOpenError = u"Internet open error.";
// The start of the message a patrol shows, once, when it stops for lack of
// disk space; the folder and kOutOfSpaceEnd follow.
inline constexpr std::u16string_view kOutOfSpaceError = u"Not enough disk space to store files in ";
inline constexpr std::u16string_view kOutOfSpaceEnd = u". The patrol was stopped.";
// The start of the message for a folder that files cannot be stored in; the
// folder, ": " and the reason follow.
inline constexpr std::u16string_view kFolderError = u"Cannot store files in the folder ";

// What the patrol worker shows and changes while it runs: the progress
// dialog's controls, the list view's rows and the live entries behind them.
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
  // Shows one of the state texts above (control 1005).
  virtual void SetState(std::u16string_view state) = 0;
  // Shows a stop message owned by the progress view, and returns once it has
  // been acknowledged (or at once, where nobody can acknowledge it).
  virtual void ShowError(std::u16string_view message) = 0;
  // Applies `update` to the live user entry `entry` on the thread that owns
  // the entries, then redraws its row (entry.ListIndex). The worker never
  // writes a user entry itself, because the owner may be reading it.
  virtual void UpdateEntry(UrlEntry& entry, const EntryUpdate& update) = 0;
  // Tells the view that the patrol is over (the dialog's OK). Called exactly
  // once per patrol, as the worker's last act.
  virtual void Finished() = 0;
};

}  // namespace kivo
