// The patrol progress dialog with a real worker against the loopback server.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include "common/QtTestApp.h"
#include "common/ScopedEnv.h"
#include "common/StoredSettings.h"
#include "common/TempDir.h"
#include "httpserver/TestHttpServer.h"
#include "patrol/PatrolRunning.h"
#include "platform/Utf8.h"
#include "ui/PatrolDialog.h"
#include "ui/StartOptions.h"

namespace kivo {
namespace {

TEST(PatrolDialogTest, CancelStopsBeforeTheNextEntryAndTheDialogClosesWhenTheWorkerEnds) {
  test::QtTestApp();
  test::TempDir home;
  test::ScopedEnv programFolder("KIVO_HOME", home.Path());
  test::ScopedEnv settings("XDG_CONFIG_HOME", home.File("config"));
  test::TestHttpServer server;
  test::ScriptedResponse held = test::ScriptedResponse::Ok("<html>first</html>");
  held.HoldName = "first";
  server.Script("/first.html", held);
  server.Script("/second.html", test::ScriptedResponse::Ok("<html>second</html>"));

  UrlEntry first;
  UrlEntry second;
  first.Url.Assign(server.WideUrl("/first.html"));
  second.Url.Assign(server.WideUrl("/second.html"));
  first.ListIndex = 0;
  second.ListIndex = 1;
  // Stored in the entries' own folder, the program folder by default.
  first.UseOwnFolder = second.UseOwnFolder = 1;
  PatrolList list;
  list.Add(&first);
  list.Add(&second);

  std::vector<bool> updatedOnGuiThread;
  PatrolDialog dialog(
      list,
      [&](UrlEntry&) { updatedOnGuiThread.push_back(QThread::currentThread() == qApp->thread()); },
      nullptr);
  auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("patrolCancel"));
  bool cancelDisabled = false;
  // Once the first download is under way, press Cancel, then let it finish.
  QTimer::singleShot(0, &dialog, [&] {
    ASSERT_TRUE(server.WaitUntilHeld("first", 30000));
    cancel->click();
    cancelDisabled = !cancel->isEnabled() && PatrolRunning.load() == 0;
    server.Release("first");
  });
  EXPECT_EQ(dialog.Run(), 0);

  EXPECT_TRUE(cancelDisabled);
  EXPECT_EQ(updatedOnGuiThread, std::vector<bool>{true});
  EXPECT_EQ(first.Status, 1);
  EXPECT_EQ(test::ReadBytes(platform::Utf8FromUtf16(first.LocalFile.View())), "<html>first</html>");
  // The second entry may have been fetched ahead, but it is never stored.
  EXPECT_EQ(second.Status, 0);
}

TEST(PatrolDialogTest, InternetOpenErrorIsAStopBoxOwnedByTheDialog) {
  test::QtTestApp();
  test::TempDir home;
  test::ScopedEnv programFolder("KIVO_HOME", home.Path());
  test::ScopedEnv settings("XDG_CONFIG_HOME", home.File("config"));
  // A proxy name that cannot be read: no HTTP session can be opened.
  ASSERT_TRUE(test::Store(Setting::UseProxy, 1));
  ASSERT_TRUE(test::Store(Setting::ProxyName, u"proxy:port"));
  UrlEntry entry;
  PatrolList list;
  list.Add(&entry);
  PatrolDialog dialog(list, nullptr, nullptr);
  QString shown;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = dialog.findChild<QMessageBox*>(QStringLiteral("patrolErrorBox"));
    if (box != nullptr && box->isVisible()) {
      shown = box->windowTitle() + "|" + box->text() + "|" +
              QString::number(box->icon() == QMessageBox::Critical);
      box->button(QMessageBox::Ok)->click();
    }
  });
  poll.start(10);
  EXPECT_EQ(dialog.Run(), -1);
  EXPECT_EQ(shown, QStringLiteral("Kivo|Internet open error.|1"));
  EXPECT_FALSE(dialog.isVisible());
}

TEST(StartOptionsTest, SlashOptionsInEitherCaseAndAnyOrder) {
  struct Case {
    const char* Name;
    QStringList Arguments;
    bool Patrol;
    bool Quit;
  };
  const Case cases[] = {
      {"none", {}, false, false},
      {"/P /Q", {"/P", "/Q"}, true, true},
      {"lower case, reversed", {"/q", "/p"}, true, true},
      {"run together", {"/Q/P"}, true, true},
      {"/Q alone", {"/Q"}, false, true},
      {"other text is ignored", {"-p", "P", "/x", "q/"}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const StartOptions options = ParseStartOptions(c.Arguments);
    EXPECT_EQ(options.PatrolAtStart, c.Patrol);
    EXPECT_EQ(options.QuitAfterPatrol, c.Quit);
  }
}

}  // namespace
}  // namespace kivo
