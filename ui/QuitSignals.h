#pragma once

#include <QObject>
#include <array>
#include <csignal>

class QSocketNotifier;

namespace kivo {

// Turns SIGTERM, SIGINT and SIGHUP into the signal quitRequested on the GUI
// thread, once per signal, so that a kill, Ctrl-C in the terminal or a
// closed terminal end the program the orderly way, and a repeated one can
// press harder. The previous handlers come back when the
// object is destroyed. Only one may exist at a time.
class QuitSignals final : public QObject {
  Q_OBJECT

 public:
  explicit QuitSignals(QObject* parent = nullptr);
  ~QuitSignals() override;

 signals:
  void quitRequested();

 private:
  void Drain();

  static constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

  int readFd_ = -1;
  int writeFd_ = -1;
  QSocketNotifier* notifier_ = nullptr;
  std::array<struct sigaction, 3> oldActions_ = {};
};

}  // namespace kivo
