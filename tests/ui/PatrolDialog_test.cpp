// The patrol progress dialog with a real worker against the loopback server.
#include <gtest/gtest.h>

#include <cerrno>

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
#include "ui/PatrolTexts.h"
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

// The dialog words the worker's values: the state texts and "Internet open
// error." as they always were, the extension messages in the same Japanese.
TEST(PatrolTextsTest, WordsTheWorkersValues) {
  using Kind = PatrolErrorKind;
  const std::pair<QString, QString> cases[] = {
      {PatrolStateText(PatrolState::Downloading), "ﾀﾞｳﾝﾛｰﾄﾞ中..."},
      {PatrolStateText(PatrolState::Analysing), "解析中..."},
      {PatrolStateText(PatrolState::Rewriting), "書換中..."},
      {ByteCountText(std::nullopt), ""},
      {ByteCountText(ByteCount{0, 0}), "0/0"},
      {ByteCountText(ByteCount{23552, 40960}), "23552/40960"},
      {ByteCountText(ByteCount{10, std::nullopt}), "10"},
      {PatrolErrorText(PatrolError{Kind::NoHttpSession, u"", 0}), "Internet open error."},
      {PatrolErrorText(PatrolError{Kind::OutOfSpace, u"/d/", 0}),
       "ﾃﾞｨｽｸの空きが足りないため、ﾌｫﾙﾀﾞ /d/ にﾌｧｲﾙを保存できません。巡回を中止しました。"},
      // A folder named like a placeholder stays as it is.
      {PatrolErrorText(PatrolError{Kind::UnusableFolder, u"/%2/", ENOENT}),
       "ﾌｫﾙﾀﾞ /%2/ にﾌｧｲﾙを保存できません(見つかりません)。"},
      {PatrolErrorText(PatrolError{Kind::UnusableFolder, u"/d/", EBUSY}),
       "ﾌｫﾙﾀﾞ /d/ にﾌｧｲﾙを保存できません(ｴﾗｰ番号 16)。"},
      // SQLite's English detail stays out of the Japanese text.
      {PatrolErrorText(PatrolError{Kind::History, u"/p/h.db", 0, HistoryProblem::Unusable,
                                   "unable to open database file"}),
       "巡回履歴 /p/h.db を使用できません。今回の巡回は記録されません。"},
  };
  for (const auto& [shown, expected] : cases) {
    EXPECT_EQ(shown, expected);
  }
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
