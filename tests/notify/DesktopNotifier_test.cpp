// The notice after a patrol against python3-dbusmock's notification daemon
// on a private session bus: shown by the notifier itself and by kivo-cli.
#include "notify/DesktopNotifier.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QProcess>
#include <QSignalSpy>
#include <QUrl>
#include <filesystem>
#include <memory>

#include "MockNotifications.h"
#include "common/ProgramHome.h"
#include "common/QtTestApp.h"
#include "common/StoredSettings.h"
#include "dialup/FakeRemoteAccess.h"
#include "httpserver/TestHttpServer.h"
#include "urllist/UrlListFile.h"

namespace kivo {
namespace {

using test::MockNetworkManager;
using test::MockNotifications;

class NoticeTest : public testing::Test {
 protected:
  void SetUp() override {
    test::QtTestApp();
    if (MockNetworkManager::Python().isEmpty()) {
      GTEST_SKIP() << "python3-dbusmock is not installed (scripts/setup installs it)";
    }
  }

  static ChangeNotice Notice(std::vector<std::u16string> titles, uint32_t others) {
    ChangeNotice notice;
    notice.Count = static_cast<uint32_t>(titles.size()) + others;
    notice.Titles = std::move(titles);
    notice.Others = others;
    notice.Url = u"http://h/1";
    return notice;
  }
};

TEST_F(NoticeTest, OneCallNamesTheCountAndTheTitles) {
  struct Case {
    const char* Name;
    QString Capabilities;
    ChangeNotice Notice;
    QString Summary;
    QString Body;
    QStringList Actions;
  };
  const Case cases[] = {
      {"seven pages, markup",
       "",
       Notice({u"A&B", u"<b>", u"C", u"D", u"E"}, 2),
       "7件のﾍﾟｰｼﾞが更新されました",
       "A&amp;B\n&lt;b&gt;\nC\nD\nE\nほか2件",
       {}},
      {"one page, plain, clickable", "body actions", Notice({u"A&B"}, 0),
       "1件のﾍﾟｰｼﾞが更新されました", "A&B", QStringList{"default", "履歴を表示"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    MockNotifications mock(MockNetworkManager::Service::Running, c.Capabilities);
    ASSERT_TRUE(mock.Started());
    DesktopNotifier notifier(mock.Bus());
    EXPECT_FALSE(notifier.Show(ChangeNotice(), HistoryAction::Offer));
    EXPECT_TRUE(notifier.Show(c.Notice, HistoryAction::Offer));
    const QList<QVariantList> notices = mock.Calls("Notify");
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0].value(0).toString(), "Kivo");
    EXPECT_EQ(notices[0].value(3).toString(), c.Summary);
    EXPECT_EQ(notices[0].value(4).toString(), c.Body);
    EXPECT_EQ(notices[0].value(5).toStringList(), c.Actions);
    EXPECT_EQ(notifier.Waiting(), !c.Actions.isEmpty());
  }
}

TEST_F(NoticeTest, AClickAsksForTheFirstEntrysHistory) {
  MockNotifications mock(MockNetworkManager::Service::Running, "body actions");
  ASSERT_TRUE(mock.Started());
  DesktopNotifier notifier(mock.Bus());
  QSignalSpy history(&notifier, &DesktopNotifier::historyRequested);
  QSignalSpy finished(&notifier, &DesktopNotifier::finished);
  ASSERT_TRUE(notifier.Show(Notice({u"A"}, 0), HistoryAction::Offer));
  mock.Click(1);
  ASSERT_TRUE(finished.wait(30000));
  ASSERT_EQ(history.count(), 1);
  EXPECT_EQ(history[0][0].toString(), "http://h/1");
  EXPECT_FALSE(notifier.Waiting());
}

TEST_F(NoticeTest, WithoutAServiceNothingIsShown) {
  MockNotifications bare(MockNetworkManager::Service::Absent);
  ASSERT_TRUE(bare.Started());
  for (const QDBusConnection& bus :
       {bare.Bus(), QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "kivo-no-bus")}) {
    DesktopNotifier notifier(bus);
    EXPECT_FALSE(notifier.Show(Notice({u"A"}, 0), HistoryAction::Offer));
    EXPECT_FALSE(notifier.Waiting());
  }
}

// kivo-cli patrol --notify as the scheduled service runs it: one notice
// after a patrol that updated an entry, none after one that did not, none
// when Notify is 0, and without a service none, and the same exit status.
TEST_F(NoticeTest, KivoCliNotifiesAfterAPatrolThatUpdatedEntries) {
  test::ProgramHome home;
  test::TestHttpServer server;
  test::ScriptedResponse dated = test::ScriptedResponse::Ok("<p>a</p>");
  dated.Headers = {{"Last-Modified", "Mon, 07 Dec 2026 10:00:00 GMT"}};
  server.Script("/a.html", dated);
  MockNotifications mock(MockNetworkManager::Service::Running);
  MockNotifications bare(MockNetworkManager::Service::Absent);
  ASSERT_TRUE(mock.Started() && bare.Started());
  struct Case {
    const char* Name;
    bool Reset;  // the entry's update time is reset first, so that it is fetched again
    uint32_t Notify;
    bool Service;
    bool Updated;
    int Notices;
  };
  const Case cases[] = {
      {"updated", false, 1, true, true, 1},     {"unchanged", false, 1, true, false, 1},
      {"switched off", true, 0, true, true, 1}, {"updated again", true, 1, true, true, 2},
      {"no service", true, 1, false, true, 2},
  };
  const auto run = [&](const QString& address, const QStringList& args) {
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", address);
    cli.setProcessEnvironment(environment);
    cli.start(KIVO_CLI_PATH, args);
    EXPECT_TRUE(cli.waitForFinished(120000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    return cli.readAllStandardOutput();
  };
  // Only the Last-Modified test, so that a reset entry counts as updated again.
  ASSERT_TRUE(test::Store(Setting::ChangeTest, 0));
  run(mock.Address(), {"add", QString::fromStdString(server.Url("/a.html")), "--title", "エー"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_TRUE(test::Store(Setting::Notify, c.Notify));
    if (c.Reset) {
      run(mock.Address(), {"reset", "1"});
    }
    const QByteArray out = run(c.Service ? mock.Address() : bare.Address(), {"patrol", "--notify"});
    EXPECT_EQ(out.startsWith("1\t"), c.Updated);
    const QList<QVariantList> notices = mock.Calls("Notify");
    ASSERT_EQ(notices.size(), c.Notices);
    EXPECT_EQ(notices.back().value(3).toString(), "1件のﾍﾟｰｼﾞが更新されました");
    EXPECT_EQ(notices.back().value(4).toString(), "エー");
  }
}

// The notice of a program that ends after its patrol is heard by a process of
// its own: a later notice takes the earlier one's place, and a click starts
// the desktop program with the entry's history.
TEST_F(NoticeTest, AClickOnKivoClisNoticeStartsKivoWithTheHistory) {
  test::ProgramHome home;
  test::TestHttpServer server;
  server.Script("/a.html", test::ScriptedResponse::Ok("<p>a</p>"));
  MockNotifications mock(MockNetworkManager::Service::Running, "body actions");
  ASSERT_TRUE(mock.Started());
  // The desktop program is a script that writes down how it was started.
  std::filesystem::create_directories(home.File("bin"));
  test::WriteBytes(home.File("bin/kivo"), "#!/bin/sh\necho \"$@\" > \"$0.log\"\n");
  std::filesystem::permissions(home.File("bin/kivo"), std::filesystem::perms::owner_all);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("DBUS_SESSION_BUS_ADDRESS", mock.Address());
  environment.insert("PATH", QString::fromStdString(home.File("bin")) + ":/usr/bin:/bin");
  ASSERT_TRUE(test::Store(Setting::ChangeTest, 0));
  for (const QStringList& args : {QStringList{"add", QString::fromStdString(server.Url("/a.html"))},
                                  QStringList{"patrol", "--notify"}, QStringList{"reset", "1"},
                                  QStringList{"patrol", "--notify"}}) {
    // Through a pipe, as in a script: the pipe ends with kivo-cli, not with
    // the process that stays to hear a click.
    QProcess cli;
    cli.setProcessEnvironment(environment);
    cli.start("/bin/bash",
              QStringList{"-c", "set -o pipefail; \"$0\" \"$@\" 2>&1 | cat", KIVO_CLI_PATH} + args);
    ASSERT_TRUE(cli.waitForFinished(120000));
    ASSERT_EQ(cli.exitCode(), 0);
  }
  ASSERT_EQ(mock.Calls("Notify").size(), 2);
  ASSERT_TRUE(test::WaitFor([&] { return mock.Calls("CloseNotification").size() == 1; }));
  mock.Click(2);
  const std::string log = home.File("bin/kivo.log");
  ASSERT_TRUE(test::WaitFor([&] { return !test::ReadBytes(log).empty(); }));
  EXPECT_EQ(
      test::ReadBytes(log),
      "--history=" +
          QUrl::toPercentEncoding(QString::fromStdString(server.Url("/a.html"))).toStdString() +
          "\n");
}

}  // namespace
}  // namespace kivo
