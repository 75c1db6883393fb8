#include "dialup/HangUpDialog.h"

namespace kivo {

HangUpDialog::HangUpDialog(QWidget* parent, RemoteAccess& service,
                           std::optional<QString>& dialConnection, const QString& entryName,
                           const DialupTimings& timings)
    : DialProgressDialog(parent),
      sequence_(new HangUpSequence(service, dialConnection, entryName, timings, this)) {
  setObjectName(QStringLiteral("hangUpDialog"));
  setAccessibleName(QStringLiteral(u"切断中"));
  setWindowTitle(QStringLiteral(u"切断中..."));
  connect(sequence_, &HangUpSequence::StatusChanged, this, &HangUpDialog::SetStatus);
  connect(sequence_, &HangUpSequence::HungUp, this, [this] { SetCancelEnabled(false); });
  connect(sequence_, &HangUpSequence::Finished, this, [this](HangUpOutcome outcome) {
    outcome_ = outcome;
    done(outcome == HangUpOutcome::Done ? Accepted : Rejected);
  });
}

HangUpOutcome HangUpDialog::Run() {
  sequence_->Start();
  exec();
  return outcome_;
}

void HangUpDialog::OnCancel() {
  sequence_->Cancel();
}

}  // namespace kivo
