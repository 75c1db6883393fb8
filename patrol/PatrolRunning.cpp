#include "patrol/PatrolRunning.h"

namespace kivo {

std::atomic<int32_t> PatrolRunning{0};

}  // namespace kivo
