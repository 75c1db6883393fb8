#include "dialup/HangUpSequence.h"

#include "dialup/DialState.h"
#include "dialup/EntryName.h"
#include "dialup/RemoteAccess.h"

namespace kivo {

HangUpSequence::HangUpSequence(RemoteAccess& service, std::optional<QString>& dialConnection,
                               const QString& entryName, const DialupTimings& timings,
                               QObject* parent)
    : QObject(parent),
      service_(service),
      dialConnection_(dialConnection),
      entryName_(entryName),
      timings_(timings) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &HangUpSequence::OnTimer);
}

void HangUpSequence::Start() {
  emit StatusChanged(QStringLiteral(u"切断します."));
  timer_.start(timings_.HangUpFirstWait);
}

void HangUpSequence::Cancel() {
  if (!cancellable_ || ended_) {
    return;
  }
  End(HangUpOutcome::Cancelled);
}

void HangUpSequence::OnTimer() {
  if (ended_) {
    return;
  }
  if (dialConnection_) {
    const QString handle = *dialConnection_;
    dialConnection_.reset();
    cancellable_ = false;
    emit HungUp();
    HangUpAndWait(handle);
    return;
  }
  std::optional<QString> stillUp = OneOfOurs();
  if (!stillUp) {
    End(HangUpOutcome::Done);
    return;
  }
  if (polls_ >= timings_.HangUpMaxPolls) {
    End(HangUpOutcome::StillUp);
    return;
  }
  ++polls_;
  HangUpAndWait(*stillUp);
}

void HangUpSequence::HangUpAndWait(const QString& handle) {
  service_.HangUp(handle);
  emit StatusChanged(DialStatusText(DialState::Disconnected));
  timer_.start(timings_.HangUpPollInterval);
}

std::optional<QString> HangUpSequence::OneOfOurs() {
  for (const ActiveConnection& connection : service_.ActiveConnections()) {
    if (EntryNameMatches(entryName_, connection.EntryName)) {
      return connection.Handle;
    }
  }
  return std::nullopt;
}

void HangUpSequence::End(HangUpOutcome outcome) {
  ended_ = true;
  timer_.stop();
  emit Finished(outcome);
}

}  // namespace kivo
