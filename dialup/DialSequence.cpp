#include "dialup/DialSequence.h"

#include "dialup/RemoteAccess.h"

namespace kivo {

DialSequence::DialSequence(RemoteAccess& service, std::optional<QString>& dialConnection,
                           const DialupTimings& timings, QObject* parent)
    : QObject(parent), service_(service), dialConnection_(dialConnection) {
  connectedTimer_.setSingleShot(true);
  connectedTimer_.setInterval(timings.ConnectedDelay);
  connect(&connectedTimer_, &QTimer::timeout, this, [this] {
    // A line that dropped in the meantime has already cleared the handle.
    End(dialConnection_ ? DialOutcome::Connected : DialOutcome::Failed);
  });
  connect(&service_, &RemoteAccess::DialEvent, this, &DialSequence::OnDialEvent);
}

void DialSequence::Start(const QString& entryName) {
  if (stage_ != Stage::Idle) {
    return;
  }
  stage_ = Stage::Dialing;
  handle_ = service_.Dial(entryName);
  dialConnection_ = handle_;
}

void DialSequence::Cancel() {
  if (stage_ != Stage::Dialing && stage_ != Stage::Idle) {
    return;
  }
  HangUpOurs();
  End(DialOutcome::Cancelled);
}

void DialSequence::FinishFailure() {
  if (stage_ == Stage::Ended) {
    return;
  }
  HangUpOurs();
  End(DialOutcome::Failed);
}

void DialSequence::OnDialEvent(const QString& handle, DialState state) {
  // Events of other dials, and any that come after the outcome is known,
  // change nothing: the failure must be reported exactly once.
  if (handle != handle_ || (stage_ != Stage::Dialing && stage_ != Stage::Connected)) {
    return;
  }
  if (state == DialState::Disconnected) {
    connectedTimer_.stop();
    stage_ = Stage::Failed;
    emit StatusChanged(DialStatusText(state));
    emit Failed();
    return;
  }
  emit StatusChanged(DialStatusText(state));
  if (state == DialState::Connected && stage_ == Stage::Dialing) {
    stage_ = Stage::Connected;
    emit Connected();
    connectedTimer_.start();
  }
}

void DialSequence::HangUpOurs() {
  if (dialConnection_) {
    service_.HangUp(*dialConnection_);
    dialConnection_.reset();
  }
}

void DialSequence::End(DialOutcome outcome) {
  stage_ = Stage::Ended;
  connectedTimer_.stop();
  emit Finished(outcome);
}

}  // namespace kivo
