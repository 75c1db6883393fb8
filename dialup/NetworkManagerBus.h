#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

namespace kivo {

// The names under which NetworkManager offers its D-Bus API, and the calls
// the dial-up service makes to it.

inline constexpr char kNmService[] = "org.freedesktop.NetworkManager";
inline constexpr char kNmManagerPath[] = "/org/freedesktop/NetworkManager";
inline constexpr char kNmManagerInterface[] = "org.freedesktop.NetworkManager";
inline constexpr char kNmSettingsPath[] = "/org/freedesktop/NetworkManager/Settings";
inline constexpr char kNmSettingsInterface[] = "org.freedesktop.NetworkManager.Settings";
inline constexpr char kNmProfileInterface[] = "org.freedesktop.NetworkManager.Settings.Connection";
inline constexpr char kNmActiveInterface[] = "org.freedesktop.NetworkManager.Connection.Active";
inline constexpr char kNmVpnInterface[] = "org.freedesktop.NetworkManager.VPN.Connection";
inline constexpr char kNmDeviceInterface[] = "org.freedesktop.NetworkManager.Device";
inline constexpr char kDBusPropertiesInterface[] = "org.freedesktop.DBus.Properties";
// The object path that stands for "none" where a call wants a path.
inline constexpr char kNmNoObject[] = "/";

// A call that NetworkManager does not answer within this time counts as
// failed, so that a hung service cannot hold anything up for long.
inline constexpr int kNmCallTimeoutMs = 5000;

// Returns the call of `method` of `interface` on NetworkManager's object
// `path`, with `arguments`.
QDBusMessage NmMethodCall(const QString& path, const QString& interface, const QString& method,
                          const QVariantList& arguments = {});

// Makes `call` on `bus` and waits for the answer, an error after
// kNmCallTimeoutMs at the latest.
QDBusMessage NmCall(const QDBusConnection& bus, const QDBusMessage& call);

// Sends `call` on `bus` and returns at once; the answer, or an error after
// kNmCallTimeoutMs, arrives through the returned pending call.
QDBusPendingCall NmAsyncCall(const QDBusConnection& bus, const QDBusMessage& call);

// True when `message` is an answer that carries a value, not an error.
bool IsReply(const QDBusMessage& message);

// Returns the object paths in `value`, a D-Bus array of paths; none when it
// holds anything else.
QStringList ObjectPaths(const QVariant& value);

// True for the connection types that are brought up on demand and so can be
// dialed: mobile broadband, PPPoE, Bluetooth dial-up, VPN and WireGuard.
bool IsOnDemandKind(const QString& type);

}  // namespace kivo
