#include "ui/QuitSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>

namespace kivo {

namespace {

// A signal handler can reach nothing but what lives at namespace scope, and
// may do little more than write(2): it writes one byte into this pipe, and
// the GUI thread reads it. The descriptor is atomic because the handler may
// run on any thread.
std::atomic<int> signalPipeWriteFd{-1};

extern "C" void OnQuitSignal(int) {
  const int savedErrno = errno;
  const int fd = signalPipeWriteFd.load();
  if (fd >= 0) {
    const char byte = 1;
    // A full pipe already holds a request; losing this one loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
  }
  errno = savedErrno;
}

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
  int fds[2] = {-1, -1};
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    return;  // without a pipe the signals keep their default action
  }
  readFd_ = fds[0];
  writeFd_ = fds[1];
  signalPipeWriteFd.store(writeFd_);
  notifier_ = new QSocketNotifier(readFd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &QuitSignals::Drain);

  struct sigaction action = {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < kSignals.size(); ++i) {
    ::sigaction(kSignals[i], &action, &oldActions_[i]);
  }
}

QuitSignals::~QuitSignals() {
  if (writeFd_ < 0) {
    return;
  }
  for (size_t i = 0; i < kSignals.size(); ++i) {
    ::sigaction(kSignals[i], &oldActions_[i], nullptr);
  }
  signalPipeWriteFd.store(-1);
  // The notifier goes with its parent; it must not watch a closed pipe.
  notifier_->setEnabled(false);
  ::close(readFd_);
  ::close(writeFd_);
}

void QuitSignals::Drain() {
  // One request per signal, so that a second SIGTERM that came before the
  // first was seen still counts as a second one.
  char bytes[16];
  ssize_t got = 0;
  while ((got = ::read(readFd_, bytes, sizeof bytes)) > 0) {
    for (ssize_t i = 0; i < got; ++i) {
      emit quitRequested();
    }
  }
}

}  // namespace kivo
