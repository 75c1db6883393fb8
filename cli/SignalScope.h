#pragma once

#include <signal.h>

#include <initializer_list>
#include <vector>

namespace kivo {

// Gives some signals one handler (or SIG_IGN) for as long as the object
// lives, and gives them back their old handlers when it is destroyed. While
// the handler runs, all the listed signals are blocked, so that two of them
// never run it at once.
class SignalScope {
 public:
  using Handler = void (*)(int);

  SignalScope(std::initializer_list<int> signals, Handler handler);
  SignalScope(const SignalScope&) = delete;
  SignalScope& operator=(const SignalScope&) = delete;
  ~SignalScope();

 private:
  struct Saved {
    int Signal;
    struct sigaction Old;
  };
  std::vector<Saved> saved_;
};

}  // namespace kivo
