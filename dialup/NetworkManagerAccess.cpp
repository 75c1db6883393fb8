#include "dialup/NetworkManagerAccess.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QMetaObject>

#include "dialup/ActiveLines.h"
#include "dialup/EntryListing.h"
#include "dialup/NetworkManagerBus.h"
#include "dialup/NetworkManagerStates.h"

namespace kivo {

namespace {

const QString kDialPrefix = QStringLiteral("dial:");

// Returns the state that the signal `message` carries as its first argument.
template <typename State>
std::optional<State> StateIn(const QDBusMessage& message) {
  if (message.arguments().isEmpty()) {
    return std::nullopt;
  }
  return static_cast<State>(message.arguments().at(0).toUInt());
}

}  // namespace

NetworkManagerAccess::NetworkManagerAccess(const QDBusConnection& bus, QObject* parent)
    : RemoteAccess(parent),
      bus_(bus),
      serviceWatcher_(new QDBusServiceWatcher(kNmService, bus_,
                                              QDBusServiceWatcher::WatchForUnregistration, this)) {
  // The signals are followed for every object from the start, so that none
  // is missed between a dial request and its answer; they are sorted out by
  // object path when they arrive.
  bus_.connect(kNmService, QString(), kNmActiveInterface, QStringLiteral("StateChanged"), this,
               SLOT(OnActiveStateChanged(QDBusMessage)));
  bus_.connect(kNmService, QString(), kNmVpnInterface, QStringLiteral("VpnStateChanged"), this,
               SLOT(OnVpnStateChanged(QDBusMessage)));
  bus_.connect(kNmService, QString(), kNmDeviceInterface, QStringLiteral("StateChanged"), this,
               SLOT(OnDeviceStateChanged(QDBusMessage)));
  connect(serviceWatcher_, &QDBusServiceWatcher::serviceUnregistered, this,
          &NetworkManagerAccess::OnServiceGone);
}

bool NetworkManagerAccess::IsAvailable() {
  if (!bus_.isConnected() || bus_.interface() == nullptr) {
    return false;
  }
  return bus_.interface()->isServiceRegistered(kNmService).value();
}

std::shared_ptr<EntryListing> NetworkManagerAccess::ListEntries() {
  auto listing = std::make_shared<EntryListing>();
  // The look belongs to the listing, so it ends unanswered when nobody waits
  // for the entries any more.
  new ProfileListing(
      bus_,
      [target = listing.get()](const std::vector<Profile>& profiles) {
        QStringList names;
        for (const Profile& profile : profiles) {
          names.append(profile.Id);
        }
        target->Finish(names);
      },
      listing.get());
  return listing;
}

QList<ActiveConnection> NetworkManagerAccess::ActiveConnections() {
  return ListActiveLines(bus_);
}

QString NetworkManagerAccess::Dial(const QString& entryName) {
  const QString handle = kDialPrefix + QString::number(nextDial_++);
  dials_.emplace(handle, DialRecord{});
  new ProfileListing(
      bus_,
      [this, handle, entryName](const std::vector<Profile>& profiles) {
        OnProfilesListed(handle, entryName, profiles);
      },
      this);
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
  ReportLineState<ActiveConnectionState>(message);
}

void NetworkManagerAccess::OnVpnStateChanged(const QDBusMessage& message) {
  ReportLineState<VpnConnectionState>(message);
}

template <typename State>
void NetworkManagerAccess::ReportLineState(const QDBusMessage& message) {
  std::optional<QString> handle = HandleOfActivePath(message.path());
  std::optional<State> state = StateIn<State>(message);
  if (!handle || !state) {
    return;
  }
  if (std::optional<DialState> stage = DialStateOf(*state)) {
    Report(*handle, *stage);
  }
}

void NetworkManagerAccess::OnDeviceStateChanged(const QDBusMessage& message) {
  std::optional<DeviceState> state = StateIn<DeviceState>(message);
  std::optional<DialState> stage = state ? DialStateOf(*state) : std::nullopt;
  if (!stage) {
    return;
  }
  QStringList handles;
  for (const auto& [handle, dial] : dials_) {
    if (!dial.HangUpWhenKnown && dial.Devices.contains(message.path())) {
      handles.append(handle);
    }
  }
  for (const QString& handle : handles) {
    Report(handle, *stage);
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

void NetworkManagerAccess::OnProfilesListed(const QString& handle, const QString& entryName,
                                            const std::vector<Profile>& profiles) {
  auto dial = dials_.find(handle);
  if (dial == dials_.end()) {
    return;  // the service went away meanwhile and the dial has been told
  }
  const Profile* profile = FindProfile(profiles, entryName);
  if (dial->second.HangUpWhenKnown || profile == nullptr) {
    const bool reported = !dial->second.HangUpWhenKnown;
    dials_.erase(dial);
    if (reported) {
      Report(handle, DialState::Disconnected);
    }
    return;
  }
  const QVariant none = QVariant::fromValue(QDBusObjectPath(kNmNoObject));
  const QDBusMessage request =
      NmMethodCall(kNmManagerPath, kNmManagerInterface, QStringLiteral("ActivateConnection"),
                   {QVariant::fromValue(QDBusObjectPath(profile->Path)), none, none});
  // The answer may wait for an authorisation prompt, so it is never awaited.
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(request), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, handle](QDBusPendingCallWatcher* finished) {
            OnActivateReply(handle, finished);
            finished->deleteLater();
          });
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
      NmCall(bus_, NmMethodCall(activePath, kDBusPropertiesInterface, QStringLiteral("GetAll"),
                                {kNmActiveInterface}));
  if (!IsReply(reply)) {
    Report(handle, DialState::Disconnected);  // it is gone already
    return;
  }
  const QVariantMap values = qdbus_cast<QVariantMap>(reply.arguments().at(0));
  // A VPN runs over a device that is already up and may serve other lines;
  // its own progress comes from its VPN states instead.
  if (!values.value(QStringLiteral("Vpn")).toBool()) {
    dials_[handle].Devices = ObjectPaths(values.value(QStringLiteral("Devices")));
  }
  std::optional<DialState> state = DialStateOf(
      static_cast<ActiveConnectionState>(values.value(QStringLiteral("State")).toUInt()));
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

std::optional<QString> NetworkManagerAccess::HandleOfActivePath(const QString& activePath) const {
  for (const auto& [handle, dial] : dials_) {
    if (dial.ActivePath == activePath) {
      return handle;
    }
  }
  return std::nullopt;
}

void NetworkManagerAccess::Deactivate(const QString& activePath) {
  bus_.send(NmMethodCall(kNmManagerPath, kNmManagerInterface,
                         QStringLiteral("DeactivateConnection"),
                         {QVariant::fromValue(QDBusObjectPath(activePath))}));
}

}  // namespace kivo
