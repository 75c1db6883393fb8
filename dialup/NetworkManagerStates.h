#pragma once

#include <cstdint>
#include <optional>

#include "dialup/DialState.h"

namespace kivo {

// The states NetworkManager reports in its D-Bus signals and properties, with
// the numbers of its D-Bus interface (NMActiveConnectionState,
// NMDeviceState, NMVpnConnectionState). The numbers come from another
// program, so a value outside these lists can arrive and must be tolerated.

// The state of an active connection, the line that a dial brings up.
enum class ActiveConnectionState : uint32_t {
  Unknown = 0,
  Activating = 1,
  Activated = 2,
  Deactivating = 3,
  Deactivated = 4,
};

// The state of a network device, such as the modem under a dial-up line.
enum class DeviceState : uint32_t {
  Unknown = 0,
  Unmanaged = 10,
  Unavailable = 20,
  Disconnected = 30,
  Prepare = 40,
  Config = 50,
  NeedAuth = 60,
  IpConfig = 70,
  IpCheck = 80,
  Secondaries = 90,
  Activated = 100,
  Deactivating = 110,
  Failed = 120,
};

// The state of a VPN connection.
enum class VpnConnectionState : uint32_t {
  Unknown = 0,
  Prepare = 1,
  NeedAuth = 2,
  Connect = 3,
  IpConfigGet = 4,
  Activated = 5,
  Failed = 6,
  Disconnected = 7,
};

// Returns the dial stage that a line in `state` has reached, or none for a
// state the status line does not show.
std::optional<DialState> DialStateOf(ActiveConnectionState state);

// Returns the dial stage that a device in `state` stands for, or none. A
// device's "activated" is left to its line, which for a VPN comes up only
// after its device.
std::optional<DialState> DialStateOf(DeviceState state);

// Returns the dial stage that a VPN in `state` stands for, or none; its
// "activated" is again left to the line.
std::optional<DialState> DialStateOf(VpnConnectionState state);

}  // namespace kivo
