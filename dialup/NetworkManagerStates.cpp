#include "dialup/NetworkManagerStates.h"

namespace kivo {

std::optional<DialState> DialStateOf(ActiveConnectionState state) {
  switch (state) {
    case ActiveConnectionState::Activating:
      return DialState::OpenPort;
    case ActiveConnectionState::Activated:
      return DialState::Connected;
    case ActiveConnectionState::Deactivated:
      return DialState::Disconnected;
    default:
      return std::nullopt;
  }
}

std::optional<DialState> DialStateOf(DeviceState state) {
  switch (state) {
    case DeviceState::Prepare:
      return DialState::OpenPort;
    case DeviceState::Config:
      return DialState::ConnectDevice;
    case DeviceState::NeedAuth:
      return DialState::Authenticate;
    case DeviceState::IpConfig:
      return DialState::Authenticated;
    case DeviceState::Failed:
      return DialState::Disconnected;
    default:
      return std::nullopt;
  }
}

std::optional<DialState> DialStateOf(VpnConnectionState state) {
  switch (state) {
    case VpnConnectionState::Prepare:
      return DialState::OpenPort;
    case VpnConnectionState::NeedAuth:
      return DialState::Authenticate;
    case VpnConnectionState::Connect:
      return DialState::ConnectDevice;
    case VpnConnectionState::IpConfigGet:
      return DialState::Authenticated;
    case VpnConnectionState::Failed:
    case VpnConnectionState::Disconnected:
      return DialState::Disconnected;
    default:
      return std::nullopt;
  }
}

}  // namespace kivo
