#pragma once

#include <QString>

namespace kivo {

// The stages of one dial as the dial dialog shows them. The remote-access
// service maps its own states onto these; states it cannot map are not
// reported at all, so that the status line stays as it is.
enum class DialState {
  OpenPort,
  PortOpened,
  ConnectDevice,
  DeviceConnected,
  Authenticate,
  Authenticated,
  Connected,
  Disconnected,
};

// Returns the status line shown for `state`.
QString DialStatusText(DialState state);

}  // namespace kivo
