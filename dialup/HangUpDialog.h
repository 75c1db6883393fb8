#pragma once

#include <optional>

#include "dialup/DialProgressDialog.h"
#include "dialup/DialupTimings.h"
#include "dialup/HangUpSequence.h"

namespace kivo {

class RemoteAccess;

// The modal hang-up dialog "切断中...": it hangs up the connection this
// program dialed after a second and waits until the line is down. A line
// that stays up through every poll ends the dialog all the same, and the
// user is told once.
class HangUpDialog final : public DialProgressDialog {
  Q_OBJECT

 public:
  HangUpDialog(QWidget* parent, RemoteAccess& service, std::optional<QString>& dialConnection,
               const QString& entryName, const DialupTimings& timings);

  // Runs the dialog modally and returns how the hang-up ended.
  HangUpOutcome Run();

 protected:
  void OnCancel() override;

 private:
  HangUpSequence* sequence_;
  HangUpOutcome outcome_ = HangUpOutcome::Cancelled;
};

}  // namespace kivo
