#include <gtest/gtest.h>

#include <QDBusConnection>
#include <memory>
#include <utility>
#include <vector>

#include "FakeRemoteAccess.h"
#include "MockNetworkManager.h"
#include "common/QtTestApp.h"
#include "dialup/NetworkManagerAccess.h"

namespace kivo {
namespace {

using test::MockNetworkManager;
using test::WaitFor;

const QString kActive = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString kVpn = QStringLiteral("org.freedesktop.NetworkManager.VPN.Connection");
const QString kDevice = QStringLiteral("org.freedesktop.NetworkManager.Device");

// The NetworkManager service against python3-dbusmock's template on a
// private bus, recording every dial event.
class NetworkManagerAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtTestApp();
    const QString missing = MockNetworkManager::MissingReason();
    if (!missing.isEmpty()) {
      GTEST_SKIP() << missing.toStdString();
    }
    mock_ = std::make_unique<MockNetworkManager>(MockNetworkManager::Service::Running);
    ASSERT_TRUE(mock_->Started()) << "the private bus or the mock did not start";
    service_ = std::make_unique<NetworkManagerAccess>(mock_->Bus());
    QObject::connect(
        service_.get(), &RemoteAccess::DialEvent,
        [this](const QString& handle, DialState state) { events_.emplace_back(handle, state); });
  }

  bool EventCountIs(size_t count) {
    return WaitFor([&] { return events_.size() >= count; }) && events_.size() == count;
  }

  std::unique_ptr<MockNetworkManager> mock_;
  std::unique_ptr<NetworkManagerAccess> service_;
  std::vector<std::pair<QString, DialState>> events_;
};

TEST_F(NetworkManagerAccessTest, ListsOnlyTheOnDemandKindsInTheServicesOrder) {
  const QString kinds[][2] = {
      {"gsm", "Mobile"},      {"802-3-ethernet", "Wired"},
      {"vpn", "Office VPN"},  {"802-11-wireless", "Home"},
      {"pppoe", "DSL"},       {"wireguard", "wg0"},
      {"bluetooth", "Phone"}, {"cdma", "CDMA"},
      {"bridge", "br0"},
  };
  for (const auto& [type, id] : kinds) {
    mock_->AddProfile(type, id);
  }
  EXPECT_TRUE(service_->IsAvailable());
  EXPECT_EQ(service_->ListEntries(),
            (QStringList{"Mobile", "Office VPN", "DSL", "wg0", "Phone", "CDMA"}));
}

TEST_F(NetworkManagerAccessTest, ADialFollowsTheStateSignalsOfItsOwnLine) {
  mock_->AddProfile("gsm", "Mobile");
  mock_->ActivateSlowly();
  const QString handle = service_->Dial("Mobile");
  ASSERT_TRUE(EventCountIs(1));
  EXPECT_EQ(events_[0], std::make_pair(handle, DialState::OpenPort)) << "activating";
  const QList<ActiveConnection> lines = service_->ActiveConnections();
  ASSERT_EQ(lines.size(), 1);
  EXPECT_EQ(lines[0].EntryName, "Mobile");
  const QString line = lines[0].Handle;

  const struct {
    const char* name;
    QString path;
    const QString& interface;
    const char* signal;
    const char* signature;
    QVariantList arguments;
    DialState expected;
  } kSignals[] = {
      {"device prepares",
       MockNetworkManager::DevicePath(),
       kDevice,
       "StateChanged",
       "uuu",
       {40u, 30u, 0u},
       DialState::OpenPort},
      {"device configures",
       MockNetworkManager::DevicePath(),
       kDevice,
       "StateChanged",
       "uuu",
       {50u, 40u, 0u},
       DialState::ConnectDevice},
      {"device needs secrets",
       MockNetworkManager::DevicePath(),
       kDevice,
       "StateChanged",
       "uuu",
       {60u, 50u, 0u},
       DialState::Authenticate},
      {"device configures IP",
       MockNetworkManager::DevicePath(),
       kDevice,
       "StateChanged",
       "uuu",
       {70u, 60u, 0u},
       DialState::Authenticated},
      {"VPN connects", line, kVpn, "VpnStateChanged", "uu", {3u, 0u}, DialState::ConnectDevice},
      {"line activated", line, kActive, "StateChanged", "uu", {2u, 0u}, DialState::Connected},
      {"line deactivated", line, kActive, "StateChanged", "uu", {4u, 0u}, DialState::Disconnected},
  };
  for (const auto& s : kSignals) {
    SCOPED_TRACE(s.name);
    const size_t before = events_.size();
    // Signals of other lines and other devices come first and must be left
    // out; the bus keeps their order.
    mock_->Emit("/org/freedesktop/NetworkManager/ActiveConnection/other", kActive, "StateChanged",
                "uu", {4u, 0u});
    mock_->Emit("/org/freedesktop/NetworkManager/Devices/wlan0", kDevice, "StateChanged", "uuu",
                {120u, 100u, 0u});
    mock_->Emit(s.path, s.interface, s.signal, s.signature, s.arguments);
    ASSERT_TRUE(EventCountIs(before + 1));
    EXPECT_EQ(events_.back(), std::make_pair(handle, s.expected));
  }
}

TEST_F(NetworkManagerAccessTest, HangingUpDeactivatesTheDialedLineOnly) {
  const QString wired = mock_->AddProfile("802-3-ethernet", "Wired");
  mock_->AddProfile("vpn", "Office VPN");
  mock_->ActivateProfile(wired);
  EXPECT_TRUE(service_->ActiveConnections().isEmpty()) << "a wired line is no dial-up line";

  const QString handle = service_->Dial("Office VPN");
  ASSERT_TRUE(EventCountIs(1));
  EXPECT_EQ(events_[0], std::make_pair(handle, DialState::Connected));
  ASSERT_EQ(service_->CountActiveConnections(), 1);
  service_->HangUp(handle);
  EXPECT_TRUE(WaitFor([&] { return service_->CountActiveConnections() == 0; }));
}

TEST_F(NetworkManagerAccessTest, AnUnknownEntryFailsWithoutBlockingTheCaller) {
  mock_->AddProfile("802-3-ethernet", "Wired");
  const QString handle = service_->Dial("Wired");
  EXPECT_TRUE(events_.empty()) << "never reported from inside Dial";
  ASSERT_TRUE(EventCountIs(1));
  EXPECT_EQ(events_[0], std::make_pair(handle, DialState::Disconnected));
}

// Without NetworkManager there is nothing to dial, and dial-up stays off.
TEST(NetworkManagerAbsentTest, ThereAreNoEntriesAndNoLines) {
  test::QtTestApp();
  MockNetworkManager bare(MockNetworkManager::Service::Absent);
  ASSERT_TRUE(bare.Started());
  const struct {
    const char* name;
    QDBusConnection bus;
  } kBuses[] = {
      {"bus without the service", bare.Bus()},
      {"no bus", QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                               QStringLiteral("kivo-no-bus"))},
  };
  for (const auto& b : kBuses) {
    SCOPED_TRACE(b.name);
    NetworkManagerAccess service(b.bus);
    EXPECT_FALSE(service.IsAvailable());
    EXPECT_TRUE(service.ListEntries().isEmpty());
    EXPECT_TRUE(service.ActiveConnections().isEmpty());
  }
  QDBusConnection::disconnectFromBus(QStringLiteral("kivo-no-bus"));
}

}  // namespace
}  // namespace kivo
