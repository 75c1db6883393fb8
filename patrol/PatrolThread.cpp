#include "patrol/PatrolThread.h"

#include "patrol/PatrolRunning.h"

namespace kivo {

PatrolThread::~PatrolThread() {
  Join();
}

bool PatrolThread::Start(const PatrolParams& params) {
  if (thread_.joinable()) {
    return false;
  }
  PatrolRunning.store(kPatrolGoing);
  thread_ = std::thread([this, params] { result_ = RunPatrol(params); });
  return true;
}

int32_t PatrolThread::Join() {
  if (thread_.joinable()) {
    thread_.join();
  }
  return result_;
}

}  // namespace kivo
