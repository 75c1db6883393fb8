#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

#include "dialup/RemoteAccess.h"

namespace kivo::test {

// A remote-access service that the test drives: it offers no entries,
// records dials and hang-ups, lists what the test puts in Active, and
// reports only the events the test emits.
class FakeRemoteAccess final : public RemoteAccess {
 public:
  bool Available = true;
  QList<ActiveConnection> Active;
  // False makes every line stay up after its hang-up.
  bool DropOnHangUp = true;
  QStringList Dialed;
  QStringList HungUp;

  bool IsAvailable() override { return Available; }
  std::shared_ptr<EntryListing> ListEntries() override { return EntryListing::Known({}); }
  QList<ActiveConnection> ActiveConnections() override { return Active; }
  QString Dial(const QString& entryName) override {
    Dialed.append(entryName);
    return LastDial();
  }
  void HangUp(const QString& handle) override {
    HungUp.append(handle);
    if (DropOnHangUp) {
      Active.removeIf([&](const ActiveConnection& line) { return line.Handle == handle; });
    }
  }

  QString LastDial() const { return QStringLiteral("fake:%1").arg(Dialed.size()); }
  // Reports `state` for the last dial; a connected line is listed from then on.
  void Emit(DialState state) {
    if (state == DialState::Connected) {
      Active.append(ActiveConnection{LastDial(), Dialed.last()});
    }
    emit DialEvent(LastDial(), state);
  }
};

// Runs the event loop until `done` holds; false if it never does within
// a minute, which only a broken build can take.
inline bool WaitFor(const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > 60000) {
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
  return true;
}

}  // namespace kivo::test
