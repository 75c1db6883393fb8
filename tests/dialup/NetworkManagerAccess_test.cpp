#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "FakeRemoteAccess.h"
#include "MockNetworkManager.h"
#include "common/ProgramHome.h"
#include "common/QtTestApp.h"
#include "common/StoredSettings.h"
#include "dialup/NetworkManagerAccess.h"
#include "ui/OptionsSheet.h"
#include "urllist/Settings.h"

namespace kivo {
namespace {

using test::MockNetworkManager;
using test::WaitFor;
using Event = std::pair<QString, DialState>;

// The NetworkManager service against python3-dbusmock's template on a
// private bus, recording every dial event.
class NetworkManagerAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtTestApp();
    if (MockNetworkManager::Python().isEmpty()) {
      GTEST_SKIP() << "python3-dbusmock is not installed (scripts/setup installs it)";
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

  test::ProgramHome home_;
  std::unique_ptr<MockNetworkManager> mock_;
  std::unique_ptr<NetworkManagerAccess> service_;
  std::vector<Event> events_;
};

// The service is frozen while the options are open: the listing is on its
// way and the page is usable; the list fills once the service answers.
TEST_F(NetworkManagerAccessTest, ListsTheOnDemandKindsWithoutWaitingForTheService) {
  const char* profiles[][2] = {
      {"gsm", "Mobile"},      {"802-3-ethernet", "Wired"},
      {"vpn", "Office VPN"},  {"802-11-wireless", "Home"},
      {"pppoe", "DSL"},       {"wireguard", "wg0"},
      {"bluetooth", "Phone"}, {"cdma", "CDMA"},
      {"bridge", "br0"},
  };
  for (const auto& [type, id] : profiles) {
    mock_->AddProfile(type, id);
  }
  EXPECT_TRUE(service_->IsAvailable());
  mock_->Hold();
  const std::shared_ptr<EntryListing> listing = service_->ListEntries();
  OptionsSheet sheet(listing, nullptr);
  sheet.show();
  QCoreApplication::processEvents();
  auto* entries = sheet.findChild<QComboBox*>("dialupEntryCombo");
  EXPECT_FALSE(listing->IsFinished());
  EXPECT_EQ(entries->count(), 0);
  mock_->Release();
  ASSERT_TRUE(WaitFor([&] { return listing->IsFinished(); }));
  const QStringList expected{"Mobile", "Office VPN", "DSL", "wg0", "Phone", "CDMA"};
  EXPECT_EQ(listing->Entries(), expected);
  EXPECT_EQ(entries->count(), expected.size());
}

TEST_F(NetworkManagerAccessTest, ADialFollowsTheStateSignalsOfItsOwnLine) {
  mock_->AddProfile("gsm", "Mobile");
  mock_->ActivateSlowly();
  const QString handle = service_->Dial("Mobile");
  ASSERT_TRUE(EventCountIs(1));
  EXPECT_EQ(events_[0], Event(handle, DialState::OpenPort)) << "activating";
  const QList<ActiveConnection> lines = service_->ActiveConnections();
  ASSERT_EQ(lines.size(), 1);
  EXPECT_EQ(lines[0].EntryName, "Mobile");

  const QString device = MockNetworkManager::DevicePath(), line = lines[0].Handle;
  const QString active = "org.freedesktop.NetworkManager.Connection.Active";
  const QString vpn = "org.freedesktop.NetworkManager.VPN.Connection";
  const QString deviceInterface = "org.freedesktop.NetworkManager.Device";
  const struct {
    const char* name;
    const QString& path;
    const QString& interface;
    uint state;
    std::optional<DialState> expected;  // none: a step already told
  } kSignals[] = {
      {"device prepares, as the line said", device, deviceInterface, 40, std::nullopt},
      {"device configures", device, deviceInterface, 50, DialState::ConnectDevice},
      {"device needs secrets", device, deviceInterface, 60, DialState::Authenticate},
      {"device configures IP", device, deviceInterface, 70, DialState::Authenticated},
      {"device configures IP again", device, deviceInterface, 70, std::nullopt},
      {"VPN connects", line, vpn, 3, DialState::ConnectDevice},
      {"line activated", line, active, 2, DialState::Connected},
      {"line deactivated", line, active, 4, DialState::Disconnected},
  };
  size_t expectedCount = events_.size();
  for (const auto& s : kSignals) {
    SCOPED_TRACE(s.name);
    // Signals of other lines and devices come first, in bus order, and are
    // left out.
    mock_->Emit(line + "9", active, "StateChanged", "uu", {4u, 0u});
    mock_->Emit(device + "9", deviceInterface, "StateChanged", "uuu", {120u, 100u, 0u});
    if (&s.interface == &deviceInterface) {
      mock_->Emit(s.path, s.interface, "StateChanged", "uuu", {s.state, 0u, 0u});
    } else {
      mock_->Emit(s.path, s.interface, &s.interface == &vpn ? "VpnStateChanged" : "StateChanged",
                  "uu", {s.state, 0u});
    }
    // A repeat that slipped through shows at the next row's count, since
    // the signals arrive in bus order.
    if (s.expected) {
      ASSERT_TRUE(EventCountIs(++expectedCount));
      EXPECT_EQ(events_.back(), Event(handle, *s.expected));
    }
  }
}

TEST_F(NetworkManagerAccessTest, HangingUpDeactivatesTheDialedLine) {
  mock_->Activate(mock_->AddProfile("802-3-ethernet", "Wired"));
  mock_->AddProfile("vpn", "Office VPN");
  EXPECT_TRUE(service_->ActiveConnections().isEmpty()) << "a wired line is no dial-up line";

  const QString handle = service_->Dial("Office VPN");
  ASSERT_TRUE(EventCountIs(1));
  EXPECT_EQ(events_[0], Event(handle, DialState::Connected));
  ASSERT_EQ(service_->CountActiveConnections(), 1);
  service_->HangUp(handle);
  EXPECT_TRUE(WaitFor([&] { return service_->CountActiveConnections() == 0; }));
}

// A dial whose profile is looked up in vain fails once Dial has returned;
// one hung up before the look is answered brings nothing up and tells
// nothing.
TEST_F(NetworkManagerAccessTest, ADialThatNeverStartsBringsNoLineUp) {
  mock_->AddProfile("802-3-ethernet", "Wired");
  mock_->AddProfile("gsm", "Mobile");
  const struct {
    const char* name;
    const char* entry;
    bool hangUpAtOnce;
    size_t events;
  } kCases[] = {
      {"not offered", "Wired", false, 1},
      {"hung up at once", "Mobile", true, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    events_.clear();
    mock_->Hold();
    const QString handle = service_->Dial(c.entry);
    if (c.hangUpAtOnce) {
      service_->HangUp(handle);
    }
    EXPECT_TRUE(events_.empty());
    // A later listing is answered after the dial's own look, in bus order.
    const std::shared_ptr<EntryListing> later = service_->ListEntries();
    mock_->Release();
    ASSERT_TRUE(WaitFor([&] { return later->IsFinished(); }));
    ASSERT_TRUE(EventCountIs(c.events));
    if (c.events > 0) {
      EXPECT_EQ(events_[0], Event(handle, DialState::Disconnected));
    }
    EXPECT_EQ(service_->CountActiveConnections(), 0);
  }
}

// kivo-cli patrol --dial: only a patrol writes the patrol history, so
// KivoHistory.db tells whether one ran. The failing dial comes first.
TEST_F(NetworkManagerAccessTest, KivoCliPatrolsOnlyOverALineItDialedAndHangsItUpAfter) {
  mock_->AddProfile("gsm", "Mobile");
  const struct {
    const char16_t* entry;
    int exitCode;
    QStringList statuses;
  } kCases[] = {
      {u"Nowhere", 6, {"Nowhereに接続中...", "接続できませんでした."}},
      {u"Mobile", 0, {"Mobileに接続中...", "接続しました.", "切断しました."}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(QString::fromUtf16(c.entry).toStdString());
    ASSERT_TRUE(test::Store(Setting::DialupConnect, 1));
    ASSERT_TRUE(test::Store(Setting::DialupEntry, c.entry));
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", mock_->Address());
    cli.setProcessEnvironment(environment);
    cli.start(KIVO_CLI_PATH, {"patrol", "--dial"});
    ASSERT_TRUE(cli.waitForFinished(120000));
    const QString errors = QString::fromUtf8(cli.readAllStandardError());
    EXPECT_EQ(cli.exitCode(), c.exitCode) << errors.toStdString();
    for (const QString& status : c.statuses) {
      EXPECT_TRUE(errors.contains(status + u'\n')) << errors.toStdString();
    }
    EXPECT_EQ(QFile::exists(QString::fromStdString(home_.Program() + "/KivoHistory.db")),
              c.exitCode == 0);
    EXPECT_EQ(service_->CountActiveConnections(), 0);
  }
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
      {"no bus", QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "kivo-no-bus")},
  };
  for (const auto& b : kBuses) {
    SCOPED_TRACE(b.name);
    NetworkManagerAccess service(b.bus);
    EXPECT_FALSE(service.IsAvailable());
    const std::shared_ptr<EntryListing> listing = service.ListEntries();
    ASSERT_TRUE(WaitFor([&] { return listing->IsFinished(); }));
    EXPECT_TRUE(listing->Entries().isEmpty());
    EXPECT_TRUE(service.ActiveConnections().isEmpty());
  }
  QDBusConnection::disconnectFromBus("kivo-no-bus");
}

}  // namespace
}  // namespace kivo
