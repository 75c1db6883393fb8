#include "dialup/DialupFlow.h"

#include <QDBusConnection>

#include "dialup/NetworkManagerAccess.h"
#include "dialup/ServiceDialupFlow.h"

namespace kivo {

// Without a system bus there is no NetworkManager to ask. With one, the flow
// asks NetworkManager each time, so that dial-up is simply off while the
// service is not running and comes on when it starts.
std::unique_ptr<DialupFlow> CreateDialupFlow() {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) {
    return std::make_unique<NoDialup>();
  }
  return std::make_unique<ServiceDialupFlow>(std::make_unique<NetworkManagerAccess>(bus));
}

}  // namespace kivo
