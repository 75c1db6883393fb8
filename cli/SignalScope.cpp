#include "cli/SignalScope.h"

namespace kivo {

SignalScope::SignalScope(std::initializer_list<int> signals, Handler handler) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  for (int signal : signals) {
    sigaddset(&action.sa_mask, signal);
  }
  for (int signal : signals) {
    Saved saved{signal, {}};
    if (::sigaction(signal, &action, &saved.Old) == 0) {
      saved_.push_back(saved);
    }
  }
}

SignalScope::~SignalScope() {
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    ::sigaction(it->Signal, &it->Old, nullptr);
  }
}

}  // namespace kivo
