#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include "MockNetworkManager.h"
#include "common/QtTestApp.h"
#include "common/ScopedEnv.h"
#include "common/TempDir.h"
#include "dialup/NetworkManagerAccess.h"
#include "urllist/Settings.h"

namespace kivo {
namespace {

using test::MockNetworkManager;

// kivo-cli patrol --dial against the mock: the list is saved only after a
// patrol, so Kivo.dat tells whether one ran.
TEST(KivoCliDialTest, PatrolsOnlyOverALineItDialedAndHangsItUpAfter) {
  test::QtTestApp();
  const QString missing = MockNetworkManager::MissingReason();
  if (!missing.isEmpty()) {
    GTEST_SKIP() << missing.toStdString();
  }
  MockNetworkManager mock(MockNetworkManager::Service::Running);
  ASSERT_TRUE(mock.Started()) << "the private bus or the mock did not start";
  NetworkManagerAccess service(mock.Bus());
  mock.AddProfile("gsm", "Mobile");
  const struct {
    const char* name;
    const char16_t* entry;
    int exitCode;
    QStringList statuses;
  } kCases[] = {
      {"dial fails", u"Nowhere", 4, {"Nowhereに接続中...", "接続できませんでした."}},
      {"dial connects", u"Mobile", 0, {"Mobileに接続中...", "接続しました.", "切断しました."}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    test::TempDir home;
    test::ScopedEnv config("XDG_CONFIG_HOME", home.Path());
    {
      RegKey key;
      ASSERT_TRUE(key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath));
      WriteDwordSetting(key, Setting::DialupConnect, 1);
      WriteStringSetting(key, Setting::DialupEntry, c.entry);
    }
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KIVO_HOME", QString::fromStdString(home.Path()));
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", mock.Address());
    cli.setProcessEnvironment(environment);
    cli.start(KIVO_CLI_PATH, {"patrol", "--dial"});
    ASSERT_TRUE(cli.waitForFinished(120000));
    const QString errors = QString::fromUtf8(cli.readAllStandardError());
    EXPECT_EQ(cli.exitCode(), c.exitCode) << errors.toStdString();
    for (const QString& status : c.statuses) {
      EXPECT_TRUE(errors.contains(status + u'\n')) << errors.toStdString();
    }
    EXPECT_EQ(QFile::exists(QString::fromStdString(home.File("Kivo.dat"))), c.exitCode == 0);
    EXPECT_EQ(service.CountActiveConnections(), 0);
  }
}

}  // namespace
}  // namespace kivo
