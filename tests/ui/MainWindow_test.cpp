// The main window's commands and keys on a small list, offscreen.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <filesystem>
#include <string>
#include <vector>

#include "common/SampleHistory.h"
#include "common/ScopedEnv.h"
#include "common/StoredSettings.h"
#include "httpserver/TestHttpServer.h"
#include "patrol/PatrolRunning.h"
#include "ui/HistoryWindow.h"
#include "ui/MainWindowHarness.h"
#include "ui/SheetTesting.h"
#include "ui/UrlListModel.h"
#include "urllist/Settings.h"

namespace kivo {
namespace {

using test::MainWindowTest;

TEST_F(MainWindowTest, CommandsChangeTheListAndSaveIt) {
  // The fake desktop opener records the paths it is given.
  std::filesystem::create_directories(home_.File("bin"));
  test::WriteBytes(home_.File("bin/xdg-open"), "#!/bin/sh\necho \"$1\" >> \"$0.log\"\n");
  std::filesystem::permissions(home_.File("bin/xdg-open"), std::filesystem::perms::owner_all);
  const std::string withOpener = home_.File("bin") + ":" + std::getenv("PATH");
  std::filesystem::create_directories(home_.File("empty"));

  const std::string unchanged = "e0:0:T e1:1:T e2:2:T e3:1:T e4:0:T e5:1:T ";
  struct Case {
    const char* Name;
    std::vector<int> Selected;
    Command Run;
    bool EditAnswer;
    std::string Saved;
    std::vector<int> SelectedAfter;
    bool Opener = true;  // false: the desktop has none, which is said in a box
  };
  const Case cases[] = {
      {"new, then Cancel", {1}, Command::NewEntry, false, unchanged, {1}},
      {"new, then OK", {1}, Command::NewEntry, true, unchanged + "edited:0:- ", {6}},
      {"edit takes the first selected row",
       {4, 2},
       Command::EditEntry,
       true,
       "e0:0:T e1:1:T edited:2:T e3:1:T e4:0:T e5:1:T ",
       {2, 4}},
      {"delete rows 2 and 4 of six",
       {2, 4},
       Command::DeleteEntries,
       false,
       "e0:0:T e1:1:T e3:1:T e5:1:T ",
       {2}},
      {"delete with no row selected", {}, Command::DeleteEntries, false, unchanged, {}},
      {"reset on several rows",
       {1, 3, 4},
       Command::ResetUpdateTime,
       false,
       "e0:0:T e1:1:- e2:2:T e3:1:- e4:0:- e5:1:T ",
       {1, 3, 4}},
      {"view a row never fetched", {0}, Command::ViewEntry, false, unchanged, {0}},
      {"view a row whose copy is gone",
       {3},
       Command::ViewEntry,
       false,
       "e0:0:T e1:1:T e2:2:T e3:2:T e4:0:T e5:1:T ",
       {3}},
      {"view a row without a copy",
       {5},
       Command::ViewEntry,
       false,
       "e0:0:T e1:1:T e2:2:T e3:1:T e4:0:T e5:2:T ",
       {5}},
      {"view a fetched row",
       {1},
       Command::ViewEntry,
       false,
       "e0:0:T e1:2:T e2:2:T e3:1:T e4:0:T e5:1:T ",
       {1}},
      {"view without an opener", {1}, Command::ViewEntry, false, unchanged, {1}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteSixEntries();
    editAnswer_ = c.EditAnswer;
    test::ScopedEnv path("PATH", c.Opener ? withOpener : home_.File("empty"));
    bool told = false;
    if (!c.Opener) {
      test::WhenShown<QMessageBox>([&told](QMessageBox& box) {
        told = true;
        box.accept();
      });
    }
    std::unique_ptr<MainWindow> window = Open();
    Select(*window, c.Selected);
    window->Execute(c.Run);
    EXPECT_EQ(told, !c.Opener);
    EXPECT_EQ(SavedSummary(), c.Saved);
    EXPECT_EQ(Selected(*window), c.SelectedAfter);
    // The view shows what the list holds, row for row.
    const std::string reset = "----/--/-- --:--";
    for (int row = 0; row < window->List().Count(); ++row) {
      const QString time = window->ListView()->model()->index(row, 3).data().toString();
      EXPECT_EQ(time == QString::fromStdString(reset), window->List()[row]->HasLastTime == 0);
    }
  }
  // Only the fetched row with an existing copy reached the opener, once.
  const std::string log = home_.File("bin/xdg-open.log");
  for (int i = 0; i < 200 && !std::filesystem::exists(log); ++i) {
    QTest::qWait(50);
  }
  EXPECT_EQ(test::ReadBytes(log), home_.File("copy1.html") + "\n");
}

TEST_F(MainWindowTest, KeysReachTheirCommandsWhileTheListHasTheFocus) {
  struct Case {
    const char* Name;
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    const char* Action;
  };
  const Case cases[] = {
      {"slash", Qt::Key_Slash, Qt::NoModifier, "patrolAllAction"},
      {"P", Qt::Key_P, Qt::NoModifier, "patrolAllAction"},
      {"Shift+P", Qt::Key_P, Qt::ShiftModifier, "patrolSelectedAction"},
      {"Ctrl+N", Qt::Key_N, Qt::ControlModifier, "newAction"},
      {"Delete", Qt::Key_Delete, Qt::NoModifier, "deleteAction"},
      {"Enter", Qt::Key_Return, Qt::NoModifier, "viewAction"},
      {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, "viewAction"},
      {"Alt+Enter", Qt::Key_Return, Qt::AltModifier, "editAction"},
      {"Alt+X", Qt::Key_X, Qt::AltModifier, "exitAction"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteSixEntries();
    std::unique_ptr<MainWindow> window = Open();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ASSERT_TRUE(window->ListView()->hasFocus());
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    const QList<QAction*> actions = window->findChildren<QAction*>();
    for (QAction* action : actions) {
      spies.push_back(std::make_unique<QSignalSpy>(action, &QAction::triggered));
    }
    QTest::keyClick(window->ListView(), c.Key, c.Modifiers);
    for (int i = 0; i < actions.size(); ++i) {
      const bool expected = actions[i]->objectName() == QLatin1String(c.Action);
      EXPECT_EQ(spies[i]->count(), expected ? 1 : 0) << actions[i]->objectName().toStdString();
    }
  }
  // The patrol keys went as far as dialing, with a list that was not moved
  // by a type-ahead search.
  EXPECT_EQ(dialup_.Dials, 3);
  EXPECT_EQ(edits_, 2);
}

TEST_F(MainWindowTest, ACloseRequestCancelsAnOpenSheetFirst) {
  WriteSixEntries();
  std::unique_ptr<MainWindow> window = Open();
  int sheetResult = -1;
  window->SetEditEntry([&](QWidget* parent, UrlEntry&) {
    QDialog sheet(parent);
    QTimer::singleShot(0, window.get(), &MainWindow::RequestClose);
    sheetResult = sheet.exec();
    return false;
  });
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  window->Execute(Command::NewEntry);
  EXPECT_EQ(sheetResult, QDialog::Rejected);
  QTRY_VERIFY(!window->isVisible());
  EXPECT_EQ(SavedSummary(), "e0:0:T e1:1:T e2:2:T e3:1:T e4:0:T e5:1:T ");
}

// As a second SIGTERM to kivo-cli: the first close request cancels the
// patrol and lets the download finish, a second one gives it up at once.
TEST_F(MainWindowTest, ASecondCloseRequestGivesTheDownloadUp) {
  test::TestHttpServer server;
  test::ScriptedResponse held = test::ScriptedResponse::Ok("<p>page</p>");
  held.HoldName = "page";
  server.Script("/page.html", held);
  ASSERT_TRUE(WriteOneEntry(u"", server.WideUrl("/page.html")));
  dialup_.Dial = false;
  std::unique_ptr<MainWindow> window = Open();
  window->show();
  std::vector<int32_t> states;
  // Runs inside the patrol dialog's loop, once the download is under way.
  QTimer::singleShot(0, window.get(), [&] {
    ASSERT_TRUE(server.WaitUntilHeld("page", 30000));
    for (int request = 0; request < 2; ++request) {
      window->RequestClose();
      states.push_back(PatrolRunning.load());
    }
  });
  window->Execute(Command::RunPatrol);
  server.Release("page");
  EXPECT_EQ(states, (std::vector<int32_t>{kPatrolCancelled, kPatrolAbandoned}));
  QTRY_VERIFY(!window->isVisible());
}

TEST_F(MainWindowTest, CtrlHShowsTheSelectedEntrysHistory) {
  test::WriteSampleHistory(home_.Program() + "/");
  std::unique_ptr<MainWindow> window = Open();
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  Select(*window, {1});
  QString title;
  test::WhenShown<HistoryWindow>([&title](HistoryWindow& history) {
    title = history.windowTitle();
    history.reject();
  });
  QTest::keyClick(window->ListView(), Qt::Key_H, Qt::ControlModifier);
  EXPECT_EQ(title, "履歴 - Old");
}

// A patrol that updated entries while nobody looked at the program tells
// the desktop once; /Q leaves the notice for after the program has ended.
TEST_F(MainWindowTest, APatrolThatUpdatedEntriesLeavesOneNotice) {
  test::TestHttpServer server;
  dialup_.Dial = false;
  struct Case {
    const char* Name;
    bool LookedAway;  // another window takes the focus during the patrol
    uint32_t Notify;
    AfterPatrol After;
    int Notices;
    bool Left;  // a notice is left for after the end
  };
  const Case cases[] = {
      {"looked away", true, 1, AfterPatrol::Stay, 1, false},
      {"looked at", false, 1, AfterPatrol::Stay, 0, false},
      {"switched off", true, 0, AfterPatrol::Stay, 0, false},
      {"with /Q", false, 1, AfterPatrol::Quit, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    test::ScriptedResponse held = test::ScriptedResponse::Ok("<p>a</p>");
    held.HoldName = c.Name;
    server.Script("/a.html", held);
    ASSERT_TRUE(WriteOneEntry(u"A", server.WideUrl("/a.html")));
    ASSERT_TRUE(test::Store(Setting::Notify, c.Notify));
    std::unique_ptr<MainWindow> window = Open();
    std::vector<ChangeNotice> notices;
    window->SetNotify([&notices](const ChangeNotice& notice) { notices.push_back(notice); });
    window->SetAfterPatrol(c.After);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QWidget elsewhere;
    // Runs inside the patrol dialog's loop, once the download is under way.
    QTimer::singleShot(0, window.get(), [&] {
      ASSERT_TRUE(server.WaitUntilHeld(c.Name, 30000));
      if (c.LookedAway) {
        elsewhere.show();
        elsewhere.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
      }
      server.Release(c.Name);
    });
    window->Execute(Command::RunPatrol);
    ASSERT_EQ(notices.size(), static_cast<size_t>(c.Notices));
    for (const ChangeNotice& notice : notices) {
      EXPECT_EQ(notice.Count, 1u);
      EXPECT_EQ(notice.Titles, std::vector<std::u16string>{u"A"});
      EXPECT_EQ(notice.Url, server.WideUrl("/a.html"));
    }
    EXPECT_EQ(!window->NoticeAfterExit().IsEmpty(), c.Left);
  }
}

}  // namespace
}  // namespace kivo
