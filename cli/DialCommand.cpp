#include "cli/DialCommand.h"

#include <signal.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>

#include "cli/CliArguments.h"
#include "dialup/DialSequence.h"
#include "dialup/HangUpSequence.h"
#include "dialup/NetworkManagerAccess.h"
#include "urllist/DialSettings.h"

namespace kivo {

namespace {

// Set by Ctrl-C while dialing. A signal handler can only reach a plain
// lock-free atomic; the dial loop polls it.
std::atomic<int> dialInterrupted{0};

extern "C" void InterruptDial(int) {
  dialInterrupted.store(1);
}

// Turns Ctrl-C and a polite kill into Cancel for its lifetime.
class CancelDialOnSignals {
 public:
  CancelDialOnSignals() {
    dialInterrupted.store(0);
    struct sigaction action = {};
    action.sa_handler = InterruptDial;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt_);
    sigaction(SIGTERM, &action, &oldTerm_);
  }
  CancelDialOnSignals(const CancelDialOnSignals&) = delete;
  CancelDialOnSignals& operator=(const CancelDialOnSignals&) = delete;
  ~CancelDialOnSignals() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
  }

 private:
  struct sigaction oldInt_ = {};
  struct sigaction oldTerm_ = {};
};

constexpr std::chrono::milliseconds kInterruptPoll{100};

void Message(const char* text) {
  std::fprintf(stderr, "kivo-cli: %s\n", text);
}

void Status(const QString& text) {
  std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

// The program's own QCoreApplication, made only when dial-up is asked for,
// so that the rest of kivo-cli never starts Qt.
class QtCore {
 public:
  QtCore() {
    if (QCoreApplication::instance() == nullptr) {
      app_ = std::make_unique<QCoreApplication>(argc_, argv_);
    }
  }

 private:
  int argc_ = 1;
  char name_[9] = "kivo-cli";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QCoreApplication> app_;
};

DialOutcome Dial(RemoteAccess& service, std::optional<QString>& dialConnection,
                 const QString& entryName) {
  Status(QStringLiteral(u"%1に接続中...").arg(entryName));
  CancelDialOnSignals cancelOnSignals;
  DialSequence sequence(service, dialConnection, DialupTimings{});
  QEventLoop loop;
  DialOutcome outcome = DialOutcome::Failed;
  QObject::connect(&sequence, &DialSequence::StatusChanged, &Status);
  QObject::connect(&sequence, &DialSequence::Failed, &sequence, [&sequence] {
    Status(QStringLiteral(u"接続できませんでした."));
    sequence.FinishFailure();
  });
  QObject::connect(&sequence, &DialSequence::Finished, &loop, [&](DialOutcome finished) {
    outcome = finished;
    loop.quit();
  });
  QTimer interruptPoll;
  QObject::connect(&interruptPoll, &QTimer::timeout, &sequence, [&sequence] {
    if (dialInterrupted.load() != 0) {
      sequence.Cancel();
    }
  });
  interruptPoll.start(kInterruptPoll);
  sequence.Start(entryName);
  loop.exec();
  return outcome;
}

HangUpOutcome HangUp(RemoteAccess& service, std::optional<QString>& dialConnection,
                     const QString& entryName) {
  // Nobody can cancel here, so the hang-up need not wait for a Cancel first.
  DialupTimings timings;
  timings.HangUpFirstWait = std::chrono::milliseconds(0);
  HangUpSequence sequence(service, dialConnection, entryName, timings);
  QEventLoop loop;
  HangUpOutcome outcome = HangUpOutcome::Done;
  QObject::connect(&sequence, &HangUpSequence::StatusChanged, &Status);
  QObject::connect(&sequence, &HangUpSequence::Finished, &loop, [&](HangUpOutcome finished) {
    outcome = finished;
    loop.quit();
  });
  sequence.Start();
  loop.exec();
  return outcome;
}

}  // namespace

int RunWithDialup(const std::function<int()>& patrol) {
  const DialSettings settings = ReadDialSettings();
  const QString entryName = QString::fromStdU16String(settings.EntryName);
  if (!settings.Connect) {
    Message("dial-up is off (DialupConnect is 0); patrolling without dialing");
    return patrol();
  }
  QtCore qt;
  NetworkManagerAccess service(QDBusConnection::systemBus());
  if (!service.IsAvailable()) {
    Message("NetworkManager cannot be reached, so dial-up is off; patrolling without dialing");
    return patrol();
  }
  if (service.CountActiveConnections() > 0) {
    Message("a dial-up connection is already up; patrolling without dialing");
    return patrol();
  }
  std::optional<QString> dialConnection;
  const DialOutcome dialed = Dial(service, dialConnection, entryName);
  if (dialed != DialOutcome::Connected) {
    Message(dialed == DialOutcome::Cancelled ? "dial cancelled; nothing was patrolled"
                                             : "the dial failed; nothing was patrolled");
    return kExitDialup;
  }
  const int status = patrol();
  if (HangUp(service, dialConnection, entryName) == HangUpOutcome::StillUp) {
    Message("the dial-up connection is still up after hanging up for about 30 seconds");
    return status == kExitOk ? kExitDialup : status;
  }
  return status;
}

}  // namespace kivo
