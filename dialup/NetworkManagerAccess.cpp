#include "dialup/NetworkManagerAccess.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QMetaObject>

#include "dialup/EntryName.h"

namespace kivo {

namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kManagerInterface = QStringLiteral("org.freedesktop.NetworkManager");
const QString kSettingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
const QString kSettingsInterface = QStringLiteral("org.freedesktop.NetworkManager.Settings");
const QString kProfileInterface =
    QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
const QString kActiveInterface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString kVpnInterface = QStringLiteral("org.freedesktop.NetworkManager.VPN.Connection");
const QString kDeviceInterface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kNoObject = QStringLiteral("/");
const QString kDialPrefix = QStringLiteral("dial:");

// A call that NetworkManager does not answer within this time counts as
// failed, so that a hung service cannot freeze the program for long.
constexpr int kCallTimeoutMs = 5000;

// The connection kinds that are brought up on demand and so can be dialed.
bool IsOnDemandKind(const QString& type) {
  static const QStringList kKinds = {QStringLiteral("gsm"),   QStringLiteral("cdma"),
                                     QStringLiteral("pppoe"), QStringLiteral("bluetooth"),
                                     QStringLiteral("vpn"),   QStringLiteral("wireguard")};
  return kKinds.contains(type);
}

// NMActiveConnectionState.
constexpr uint kActiveActivating = 1, kActiveActivated = 2, kActiveDeactivated = 4;

std::optional<DialState> FromActiveState(uint state) {
  switch (state) {
    case kActiveActivating:
      return DialState::OpenPort;
    case kActiveActivated:
      return DialState::Connected;
    case kActiveDeactivated:
      return DialState::Disconnected;
    default:
      return std::nullopt;
  }
}

// NMDeviceState. "Activated" is left to the active connection, which for a
// VPN comes up only after its device.
std::optional<DialState> FromDeviceState(uint state) {
  switch (state) {
    case 40:  // prepare
      return DialState::OpenPort;
    case 50:  // config
      return DialState::ConnectDevice;
    case 60:  // need auth
      return DialState::Authenticate;
    case 70:  // ip config
      return DialState::Authenticated;
    case 120:  // failed
      return DialState::Disconnected;
    default:
      return std::nullopt;
  }
}

// NMVpnConnectionState; "activated" is again left to the active connection.
std::optional<DialState> FromVpnState(uint state) {
  switch (state) {
    case 1:  // prepare
      return DialState::OpenPort;
    case 2:  // need auth
      return DialState::Authenticate;
    case 3:  // connect
      return DialState::ConnectDevice;
    case 4:  // ip config get
      return DialState::Authenticated;
    case 6:  // failed
    case 7:  // disconnected
      return DialState::Disconnected;
    default:
      return std::nullopt;
  }
}

QStringList PathsOf(const QVariant& value) {
  QStringList paths;
  for (const QDBusObjectPath& path : qdbus_cast<QList<QDBusObjectPath>>(value)) {
    paths.append(path.path());
  }
  return paths;
}

bool IsReply(const QDBusMessage& message) {
  return message.type() == QDBusMessage::ReplyMessage && !message.arguments().isEmpty();
}

}  // namespace

NetworkManagerAccess::NetworkManagerAccess(const QDBusConnection& bus, QObject* parent)
    : RemoteAccess(parent),
      bus_(bus),
      serviceWatcher_(new QDBusServiceWatcher(kService, bus_,
                                              QDBusServiceWatcher::WatchForUnregistration, this)) {
  // The signals are followed for every object from the start, so that none
  // is missed between a dial request and its answer; they are sorted out by
  // object path when they arrive.
  bus_.connect(kService, QString(), kActiveInterface, QStringLiteral("StateChanged"), this,
               SLOT(OnActiveStateChanged(QDBusMessage)));
  bus_.connect(kService, QString(), kVpnInterface, QStringLiteral("VpnStateChanged"), this,
               SLOT(OnVpnStateChanged(QDBusMessage)));
  bus_.connect(kService, QString(), kDeviceInterface, QStringLiteral("StateChanged"), this,
               SLOT(OnDeviceStateChanged(QDBusMessage)));
  connect(serviceWatcher_, &QDBusServiceWatcher::serviceUnregistered, this,
          &NetworkManagerAccess::OnServiceGone);
}

bool NetworkManagerAccess::IsAvailable() {
  if (!bus_.isConnected() || bus_.interface() == nullptr) {
    return false;
  }
  return bus_.interface()->isServiceRegistered(kService).value();
}

QStringList NetworkManagerAccess::ListEntries() {
  QStringList names;
  for (const Profile& profile : OnDemandProfiles()) {
    names.append(profile.Id);
  }
  return names;
}

QList<ActiveConnection> NetworkManagerAccess::ActiveConnections() {
  QList<ActiveConnection> connections;
  const QDBusMessage reply = Call(kManagerPath, kPropertiesInterface, QStringLiteral("Get"),
                                  {kManagerInterface, QStringLiteral("ActiveConnections")});
  if (!IsReply(reply)) {
    return connections;
  }
  const QVariant list = reply.arguments().at(0).value<QDBusVariant>().variant();
  for (const QString& path : PathsOf(list)) {
    const QDBusMessage properties =
        Call(path, kPropertiesInterface, QStringLiteral("GetAll"), {kActiveInterface});
    if (!IsReply(properties)) {
      continue;  // it went away while we looked
    }
    const QVariantMap values = qdbus_cast<QVariantMap>(properties.arguments().at(0));
    if (!IsOnDemandKind(values.value(QStringLiteral("Type")).toString()) ||
        values.value(QStringLiteral("State")).toUInt() == kActiveDeactivated) {
      continue;
    }
    connections.append(ActiveConnection{path, values.value(QStringLiteral("Id")).toString()});
  }
  return connections;
}

QString NetworkManagerAccess::Dial(const QString& entryName) {
  const QString handle = kDialPrefix + QString::number(nextDial_++);
  std::optional<Profile> profile = FindProfile(entryName);
  if (!profile) {
    ReportLater(handle, DialState::Disconnected);
    return handle;
  }
  dials_.emplace(handle, DialRecord{});
  QDBusMessage request = QDBusMessage::createMethodCall(kService, kManagerPath, kManagerInterface,
                                                        QStringLiteral("ActivateConnection"));
  request.setArguments({QVariant::fromValue(QDBusObjectPath(profile->Path)),
                        QVariant::fromValue(QDBusObjectPath(kNoObject)),
                        QVariant::fromValue(QDBusObjectPath(kNoObject))});
  // The answer may wait for an authorisation prompt, so it is never awaited.
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(request), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, handle](QDBusPendingCallWatcher* finished) {
            OnActivateReply(handle, finished);
            finished->deleteLater();
          });
  return handle;
}

void NetworkManagerAccess::HangUp(const QString& handle) {
  if (!handle.startsWith(kDialPrefix)) {
    Deactivate(handle);
    return;
  }
  auto dial = dials_.find(handle);
  if (dial == dials_.end()) {
    return;
  }
  if (dial->second.ActivePath.isEmpty()) {
    // Not answered yet: the answer brings the path to take down.
    dial->second.HangUpWhenKnown = true;
    return;
  }
  Deactivate(dial->second.ActivePath);
  dials_.erase(dial);
}

void NetworkManagerAccess::OnActiveStateChanged(const QDBusMessage& message) {
  std::optional<QString> handle = HandleOfActivePath(message.path());
  if (!handle || message.arguments().isEmpty()) {
    return;
  }
  if (std::optional<DialState> state = FromActiveState(message.arguments().at(0).toUInt())) {
    Report(*handle, *state);
  }
}

void NetworkManagerAccess::OnVpnStateChanged(const QDBusMessage& message) {
  std::optional<QString> handle = HandleOfActivePath(message.path());
  if (!handle || message.arguments().isEmpty()) {
    return;
  }
  if (std::optional<DialState> state = FromVpnState(message.arguments().at(0).toUInt())) {
    Report(*handle, *state);
  }
}

void NetworkManagerAccess::OnDeviceStateChanged(const QDBusMessage& message) {
  if (message.arguments().isEmpty()) {
    return;
  }
  std::optional<DialState> state = FromDeviceState(message.arguments().at(0).toUInt());
  if (!state) {
    return;
  }
  QStringList handles;
  for (const auto& [handle, dial] : dials_) {
    if (!dial.HangUpWhenKnown && dial.Devices.contains(message.path())) {
      handles.append(handle);
    }
  }
  for (const QString& handle : handles) {
    Report(handle, *state);
  }
}

void NetworkManagerAccess::OnServiceGone() {
  // Without the service no dial of ours can come up any more.
  QStringList handles;
  for (const auto& [handle, dial] : dials_) {
    handles.append(handle);
  }
  dials_.clear();
  for (const QString& handle : handles) {
    Report(handle, DialState::Disconnected);
  }
}

std::vector<NetworkManagerAccess::Profile> NetworkManagerAccess::OnDemandProfiles() {
  std::vector<Profile> profiles;
  const QDBusMessage reply =
      Call(kSettingsPath, kSettingsInterface, QStringLiteral("ListConnections"));
  if (!IsReply(reply)) {
    return profiles;
  }
  for (const QString& path : PathsOf(reply.arguments().at(0))) {
    const QDBusMessage settings = Call(path, kProfileInterface, QStringLiteral("GetSettings"));
    if (!IsReply(settings)) {
      continue;
    }
    const auto groups = qdbus_cast<QMap<QString, QVariantMap>>(settings.arguments().at(0));
    const QVariantMap connection = groups.value(QStringLiteral("connection"));
    const QString id = connection.value(QStringLiteral("id")).toString();
    if (IsOnDemandKind(connection.value(QStringLiteral("type")).toString()) && !id.isEmpty()) {
      profiles.push_back(Profile{path, id});
    }
  }
  return profiles;
}

std::optional<NetworkManagerAccess::Profile> NetworkManagerAccess::FindProfile(
    const QString& entryName) {
  const std::vector<Profile> profiles = OnDemandProfiles();
  // A profile of exactly that name wins over one whose name was cut to it.
  for (const Profile& profile : profiles) {
    if (profile.Id == entryName) {
      return profile;
    }
  }
  for (const Profile& profile : profiles) {
    if (EntryNameMatches(entryName, profile.Id)) {
      return profile;
    }
  }
  return std::nullopt;
}

void NetworkManagerAccess::OnActivateReply(const QString& handle,
                                           QDBusPendingCallWatcher* watcher) {
  auto dial = dials_.find(handle);
  if (dial == dials_.end()) {
    return;
  }
  const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
  if (reply.isError()) {
    const bool reported = !dial->second.HangUpWhenKnown;
    dials_.erase(dial);
    if (reported) {
      Report(handle, DialState::Disconnected);
    }
    return;
  }
  const QString activePath = reply.value().path();
  if (dial->second.HangUpWhenKnown) {
    Deactivate(activePath);
    dials_.erase(dial);
    return;
  }
  dial->second.ActivePath = activePath;
  Follow(handle, activePath);
}

void NetworkManagerAccess::Follow(const QString& handle, const QString& activePath) {
  // The state may have moved on before the path was known; what it is now
  // is where the events continue from.
  const QDBusMessage reply =
      Call(activePath, kPropertiesInterface, QStringLiteral("GetAll"), {kActiveInterface});
  if (!IsReply(reply)) {
    Report(handle, DialState::Disconnected);  // it is gone already
    return;
  }
  const QVariantMap values = qdbus_cast<QVariantMap>(reply.arguments().at(0));
  // A VPN runs over a device that is already up and may serve other lines;
  // its own progress comes from its VPN states instead.
  if (!values.value(QStringLiteral("Vpn")).toBool()) {
    dials_[handle].Devices = PathsOf(values.value(QStringLiteral("Devices")));
  }
  std::optional<DialState> state = FromActiveState(values.value(QStringLiteral("State")).toUInt());
  if (!state) {
    return;
  }
  // Signals sent while we waited for these values are already queued and
  // tell the finer steps up to now (a VPN's or a device's), while the line's
  // state says only "activating". So the state read now goes after them and
  // counts only if they told nothing, or if it is the end of the dial; the
  // status never steps back. It is dropped if the dial was hung up meanwhile.
  QMetaObject::invokeMethod(
      this,
      [this, handle, state] {
        auto dial = dials_.find(handle);
        const bool final = *state == DialState::Connected || *state == DialState::Disconnected;
        if (dial != dials_.end() && (final || !dial->second.LastReported)) {
          Report(handle, *state);
        }
      },
      Qt::QueuedConnection);
}

void NetworkManagerAccess::Report(const QString& handle, DialState state) {
  if (auto dial = dials_.find(handle); dial != dials_.end()) {
    if (dial->second.LastReported == state) {
      return;
    }
    dial->second.LastReported = state;
  }
  emit DialEvent(handle, state);
}

void NetworkManagerAccess::ReportLater(const QString& handle, DialState state) {
  QMetaObject::invokeMethod(
      this, [this, handle, state] { Report(handle, state); }, Qt::QueuedConnection);
}

std::optional<QString> NetworkManagerAccess::HandleOfActivePath(const QString& activePath) const {
  for (const auto& [handle, dial] : dials_) {
    if (dial.ActivePath == activePath) {
      return handle;
    }
  }
  return std::nullopt;
}

void NetworkManagerAccess::Deactivate(const QString& activePath) {
  QDBusMessage request = QDBusMessage::createMethodCall(kService, kManagerPath, kManagerInterface,
                                                        QStringLiteral("DeactivateConnection"));
  request.setArguments({QVariant::fromValue(QDBusObjectPath(activePath))});
  bus_.send(request);
}

QDBusMessage NetworkManagerAccess::Call(const QString& path, const QString& interface,
                                        const QString& method, const QVariantList& arguments) {
  QDBusMessage request = QDBusMessage::createMethodCall(kService, path, interface, method);
  request.setArguments(arguments);
  return bus_.call(request, QDBus::Block, kCallTimeoutMs);
}

}  // namespace kivo
