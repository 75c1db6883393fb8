#include "dialup/DialupFlow.h"

namespace kivo {

// Until a network service is wired in, a patrol never dials.
std::unique_ptr<DialupFlow> CreateDialupFlow() { return std::make_unique<NoDialup>(); }

}  // namespace kivo
