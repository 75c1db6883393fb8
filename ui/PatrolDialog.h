#pragma once

#include <QDialog>
#include <QString>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

#include "patrol/PatrolList.h"
#include "patrol/PatrolThread.h"
#include "patrol/PatrolView.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace kivo {

// The modal patrol progress dialog "巡回". It runs the patrol worker on a
// thread of its own and is that worker's PatrolView, which words the
// worker's values in Japanese (PatrolTexts).
//
// The worker's calls arrive on the worker thread. Texts and progress are
// only recorded there, under a lock, and shown by the GUI thread at most once
// per refresh interval, so that the worker never waits for a repaint, however
// many pieces a download arrives in. Entry updates, the error box and the
// end of the patrol are carried over to the GUI thread, and the worker waits
// for them there: the entries belong to the GUI thread, and the box must be
// answered.
class PatrolDialog final : public QDialog, public PatrolView {
  Q_OBJECT

 public:
  // Where the patrol's stop messages go: a box that someone must answer, or
  // standard error for an unattended run that nobody may be watching.
  enum class ErrorDelivery { Box, StandardError };

  // How often the shown texts and progress catch up with the worker.
  static constexpr int kRefreshMs = 50;

  // Called on the GUI thread after an entry update has been applied, with the
  // entry whose row must be redrawn.
  using EntryUpdated = std::function<void(UrlEntry& entry)>;

  // Prepares a patrol of `list`; `list` must outlive the dialog.
  PatrolDialog(PatrolList& list, EntryUpdated entryUpdated, QWidget* parent);
  // Waits for a worker that is still running.
  ~PatrolDialog() override;

  // Starts the worker and shows the dialog modally until the worker has
  // finished; returns the worker's result (0, or -1 when no HTTP session
  // could be opened).
  int32_t Run();
  // Sends the stop messages to `delivery` from now on (a box by default).
  void SetErrorDelivery(ErrorDelivery delivery) { errorDelivery_ = delivery; }
  // Tells the history how the next patrol was started (a command by default).
  void SetTrigger(PatrolTrigger trigger) { trigger_ = trigger; }
  // Cancels the patrol as the Cancel button does: the worker stops before
  // the next entry or image, and the dialog closes once it has finished.
  void Cancel();
  // Returns what the last patrol reported besides its result, once Run has
  // returned.
  const PatrolReport& Report() const { return report_; }
  // Returns whether the dialog had the focus when the patrol ended, that is
  // whether the user was looking at the program then.
  bool ActiveAtEnd() const { return activeAtEnd_; }

  // PatrolView, called by the worker.
  void SetTitle(std::u16string_view name) override;
  void SetUrl(std::u16string_view url) override;
  void SetState(PatrolState state) override;
  void SetBytes(std::optional<ByteCount> count) override;
  void SetPercent(int32_t percent) override;
  void ShowError(const PatrolError& error) override;
  void UpdateEntry(UrlEntry& entry, const EntryUpdate& update) override;
  void Finished() override;

  // Shows what the worker has reported so far, at once; the refresh timer
  // calls it, and so may a caller that has fed the view itself.
  void Refresh();

 protected:
  // Escape and the window's close button mean Cancel; the dialog itself
  // closes only when the worker has finished.
  void reject() override;

 private:
  ErrorDelivery errorDelivery_ = ErrorDelivery::Box;
  PatrolTrigger trigger_ = PatrolTrigger::Gui;
  // What the worker reported last, waiting to be shown.
  struct Shown {
    QString Title;
    QString Url;
    QString State;
    QString Bytes;
    int Percent = 0;
  };
  enum Change : unsigned {
    kTitleChanged = 1,
    kUrlChanged = 2,
    kStateChanged = 4,
    kBytesChanged = 8,
    kPercentChanged = 16,
  };

  void Record(unsigned change, QString Shown::*field, QString text);
  // Runs `call` on the GUI thread and returns once it has run there. The
  // hand-over goes through mutex_, so that the worker's data is seen whole on
  // the other side whatever Qt's event queue does.
  void CallOnGuiThread(const std::function<void()>& call);
  void ServeCall();

  PatrolList& list_;
  EntryUpdated entryUpdated_;
  QLabel* title_;
  QLabel* url_;
  QLabel* state_;
  QLabel* bytes_;
  QProgressBar* progress_;
  QPushButton* cancel_;
  QTimer* refresh_;

  std::mutex mutex_;
  Shown pending_;
  unsigned changes_ = 0;
  // The one call the worker waits for, if any.
  std::condition_variable callServed_;
  const std::function<void()>* call_ = nullptr;

  PatrolThread worker_;
  PatrolReport report_;
  bool finished_ = false;
  bool activeAtEnd_ = false;
};

}  // namespace kivo
