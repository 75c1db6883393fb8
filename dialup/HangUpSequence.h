#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <optional>

#include "dialup/DialupTimings.h"

namespace kivo {

class RemoteAccess;

// How a hang-up ended.
enum class HangUpOutcome {
  Done,       // no connection of the entry is listed any more
  Cancelled,  // cancelled before the first hang-up; the line is still up
  StillUp,    // the connection stayed listed through every poll
};

// Hangs up the connection this program dialed and waits until the service
// no longer lists a connection of the dialed entry, without any window: the
// hang-up dialog and kivo-cli show what it reports. Connections of other
// entries (a VPN the user brought up, say) are left alone. The waiting is
// bounded: after HangUpMaxPolls polls the sequence gives up with StillUp
// rather than wait forever with Cancel disabled.
class HangUpSequence : public QObject {
  Q_OBJECT

 public:
  HangUpSequence(RemoteAccess& service, std::optional<QString>& dialConnection,
                 const QString& entryName, const DialupTimings& timings, QObject* parent = nullptr);

  // Shows "切断します." and hangs up after HangUpFirstWait.
  void Start();
  // Ends with Cancelled while the first wait runs; does nothing afterwards.
  void Cancel();

 signals:
  void StatusChanged(const QString& text);
  // The first hang-up was made; Cancel no longer applies.
  void HungUp();
  void Finished(kivo::HangUpOutcome outcome);

 private:
  void OnTimer();
  void HangUpAndWait(const QString& handle);
  std::optional<QString> OneOfOurs();
  void End(HangUpOutcome outcome);

  RemoteAccess& service_;
  std::optional<QString>& dialConnection_;
  QString entryName_;
  DialupTimings timings_;
  QTimer timer_;
  bool cancellable_ = true;
  bool ended_ = false;
  int32_t polls_ = 0;
};

}  // namespace kivo
