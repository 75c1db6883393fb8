#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

#include "dialup/DialState.h"
#include "dialup/DialupTimings.h"

namespace kivo {

class RemoteAccess;

// How a dial ended.
enum class DialOutcome { Connected, Failed, Cancelled };

// Carries one dial from the request to its end, without any window: it turns
// the service's events into status texts, and once connected it waits
// ConnectedDelay before it ends. The dial dialog and kivo-cli show what it
// reports. `dialConnection` is the connection this program dialed; the
// sequence sets it with the dial request and clears it whenever it hangs up.
class DialSequence : public QObject {
  Q_OBJECT

 public:
  DialSequence(RemoteAccess& service, std::optional<QString>& dialConnection,
               const DialupTimings& timings, QObject* parent = nullptr);

  // Starts dialing `entryName` and returns at once.
  void Start(const QString& entryName);
  // Hangs up the dial and ends with Cancelled; does nothing once ended or
  // once connected.
  void Cancel();
  // Hangs up after a failure that the owner has reported, and ends with
  // Failed.
  void FinishFailure();

 signals:
  // The status line changed to `text`.
  void StatusChanged(const QString& text);
  // The connection stands; Cancel no longer applies.
  void Connected();
  // The dial failed; the owner reports it and then calls FinishFailure.
  void Failed();
  // The dial is over; the patrol may run only after Connected.
  void Finished(kivo::DialOutcome outcome);

 private:
  enum class Stage { Idle, Dialing, Connected, Failed, Ended };

  void OnDialEvent(const QString& handle, DialState state);
  void HangUpOurs();
  void End(DialOutcome outcome);

  RemoteAccess& service_;
  std::optional<QString>& dialConnection_;
  QString handle_;
  Stage stage_ = Stage::Idle;
  QTimer connectedTimer_;
};

}  // namespace kivo
