#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "dialup/ProfileListing.h"
#include "dialup/RemoteAccess.h"

class QDBusMessage;
class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace kivo {

// The remote-access service over NetworkManager's D-Bus API. The entries are
// the saved connection profiles of the on-demand kinds (mobile broadband,
// PPPoE, Bluetooth dial-up, VPN and WireGuard), named by their id; wired and
// Wi-Fi profiles are never offered, or a machine that is simply online
// would always count as connected. Credentials stay with NetworkManager.
// This class follows the dials; listing the profiles (ProfileListing) and
// the active lines (ListActiveLines) have their own units.
class NetworkManagerAccess final : public RemoteAccess {
  Q_OBJECT

 public:
  // Talks to NetworkManager on `bus` (the system bus in the program, a
  // private bus in tests).
  explicit NetworkManagerAccess(const QDBusConnection& bus, QObject* parent = nullptr);

  bool IsAvailable() override;
  std::shared_ptr<EntryListing> ListEntries() override;
  QList<ActiveConnection> ActiveConnections() override;
  QString Dial(const QString& entryName) override;
  void HangUp(const QString& handle) override;

 private slots:
  void OnActiveStateChanged(const QDBusMessage& message);
  void OnVpnStateChanged(const QDBusMessage& message);
  void OnDeviceStateChanged(const QDBusMessage& message);
  void OnServiceGone();

 private:
  // One dial of ours, from the request until it is hung up.
  struct DialRecord {
    QString ActivePath;  // empty until NetworkManager answers the request
    QStringList Devices;
    bool HangUpWhenKnown = false;
    // NetworkManager tells most steps twice, through the line and through
    // its device, so only a change is passed on.
    std::optional<DialState> LastReported;
  };

  // Reports the stage that `message`, a signal of one of our lines, carries
  // as its State.
  template <typename State>
  void ReportLineState(const QDBusMessage& message);
  void OnProfilesListed(const QString& handle, const QString& entryName,
                        const std::vector<Profile>& profiles);
  void OnActivateReply(const QString& handle, QDBusPendingCallWatcher* watcher);
  void Follow(const QString& handle, const QString& activePath);
  void Report(const QString& handle, DialState state);
  std::optional<QString> HandleOfActivePath(const QString& activePath) const;
  void Deactivate(const QString& activePath);

  QDBusConnection bus_;
  QDBusServiceWatcher* serviceWatcher_;
  std::map<QString, DialRecord> dials_;
  uint64_t nextDial_ = 1;
};

}  // namespace kivo
