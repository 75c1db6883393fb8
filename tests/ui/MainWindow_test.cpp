// The main window's commands, keys and layout on a small list, offscreen.
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

#include "common/ProgramHome.h"
#include "common/QtTestApp.h"
#include "common/SampleHistory.h"
#include "common/ScopedEnv.h"
#include "common/StoredSettings.h"
#include "dialup/DialupFlow.h"
#include "httpserver/TestHttpServer.h"
#include "patrol/PatrolRunning.h"
#include "ui/CommandBands.h"
#include "ui/HistoryWindow.h"
#include "ui/MainWindow.h"
#include "ui/SheetTesting.h"
#include "ui/UrlListModel.h"
#include "urllist/Settings.h"
#include "urllist/UrlListFile.h"

namespace kivo {
namespace {

// A flow that wants to dial (unless told otherwise) and never connects, so
// that a patrol command shows up as one dial and runs no patrol.
class RecordingDialup final : public DialupFlow {
 public:
  std::shared_ptr<EntryListing> ListEntries() override { return EntryListing::Known({}); }
  bool ShouldDial() override { return Dial; }
  void BeginDial(QWidget*, std::function<void()>) override { ++Dials; }
  void HangUpIfDialed(QWidget*) override {}
  bool Dial = true;
  int Dials = 0;
};

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    test::QtTestApp().setQuitOnLastWindowClosed(false);
    test::WriteBytes(home_.File("copy1.html"), "<p>one</p>");
  }

  // Six entries e0..e5. Status 0, 1, 2, 1, 0, 1; e1's copy exists, e3's is
  // gone, e5 names none. Every entry has an update time.
  void WriteSixEntries() {
    UrlList list;
    const int32_t statuses[] = {0, 1, 2, 1, 0, 1};
    const std::string copies[] = {"", "copy1.html", "copy2.html", "gone.html", "", ""};
    for (int i = 0; i < 6; ++i) {
      auto entry = std::make_unique<UrlEntry>();
      // Appended, not "e" + std::to_string(i): GCC 12 warns falsely (-Wrestrict) about a
      // literal before a temporary string at -O2.
      entry->Name.Assign(test::U16(std::string("e").append(std::to_string(i))));
      entry->Url.Assign(test::U16(std::string("http://example.com/").append(std::to_string(i))));
      entry->Status = statuses[i];
      if (!copies[i].empty()) {
        entry->LocalFile.Assign(home_.Dir().Wide(copies[i]));
      }
      entry->HasLastTime = 1;
      entry->LastTime = SystemTime{2026, 12, 5, 5, 10, 30, 0, 0};
      list.Add(std::move(entry));
    }
    ListFile().Save(list);
  }

  static UrlListFile ListFile() { return UrlListFile::InProgramFolder(); }

  // "name:status:time" per entry, time "-" when there is none, as the list
  // file holds them.
  static std::string SavedSummary() {
    UrlList list;
    ListFile().Load(list);
    std::string summary;
    for (const UrlEntry* entry : list) {
      summary += QString::fromUtf16(entry->Name.View().data(), entry->Name.Length()).toStdString();
      summary.append(":").append(std::to_string(entry->Status));
      summary += entry->HasLastTime ? ":T " : ":- ";
    }
    return summary;
  }

  std::unique_ptr<MainWindow> Open() {
    auto window = std::make_unique<MainWindow>(dialup_);
    window->SetEditEntry([this](QWidget*, UrlEntry& entry) {
      ++edits_;
      if (editAnswer_) {
        entry.Name.Assign(u"edited");
      }
      return editAnswer_;
    });
    return window;
  }

  static void Select(MainWindow& window, const std::vector<int>& rows) {
    QItemSelectionModel* selection = window.ListView()->selectionModel();
    selection->clearSelection();
    for (int row : rows) {
      selection->select(window.ListView()->model()->index(row, 0),
                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }

  static std::vector<int> Selected(MainWindow& window) {
    std::vector<int> rows;
    for (const QModelIndex& index : window.ListView()->selectionModel()->selectedRows()) {
      rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
  }

  test::ProgramHome home_;
  RecordingDialup dialup_;
  bool editAnswer_ = false;
  int edits_ = 0;
};

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

TEST_F(MainWindowTest, LayoutValuesComeBackAtTheNextStart) {
  struct Case {
    const char* Name;
    std::vector<std::pair<Setting, uint32_t>> Stored;
    std::vector<int> Columns;
    int MenuBandWidth;  // 0: the menu band's minimum
  };
  const Case cases[] = {
      {"defaults", {}, {200, 266, 39, 116}, 174},
      {"changed by the user",
       {{Setting::NameWidth, 150},
        {Setting::UrlWidth, 300},
        {Setting::LinkLevelWidth, 50},
        {Setting::LastTimeWidth, 120},
        {Setting::CommandBandMenuWidth, 130},
        {Setting::CommandBandToolStyle, 4 | CommandBands::kStyleNoGripper}},
       {150, 300, 50, 120},
       130},
      {"tool band maximised",
       {{Setting::CommandBandMenuWidth, 130}, {Setting::CommandBandToolMaximized, 1}},
       {200, 266, 39, 116},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    std::filesystem::remove_all(home_.File("config"));
    for (const auto& [setting, value] : c.Stored) {
      ASSERT_TRUE(test::Store(setting, value));
    }
    QSize size;
    BandValues shown;
    // The first run shows what was stored, and the user then makes the
    // window larger and the URL column narrower; the second run must show
    // the same again.
    for (int run = 0; run < 2; ++run) {
      SCOPED_TRACE(run);
      std::unique_ptr<MainWindow> window = Open();
      window->show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
      QHeaderView* header = window->ListView()->header();
      for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(header->sectionSize(column), run == 1 && column == 1 ? 100 : c.Columns[column]);
      }
      auto* bands = window->findChild<CommandBands*>();
      const int menuWidth = bands->sizes()[0];
      if (c.MenuBandWidth == 0) {
        EXPECT_EQ(menuWidth, bands->widget(0)->minimumSizeHint().width());
      } else {
        EXPECT_EQ(menuWidth, c.MenuBandWidth);
      }
      if (run == 0) {
        window->resize(720 + 10 * static_cast<int>(c.Stored.size()), 380);
        header->resizeSection(1, 100);
      } else {
        EXPECT_EQ(window->size(), size);
        EXPECT_EQ(bands->Values(), shown);
      }
      size = window->size();
      shown = bands->Values();
      window->close();
    }
    // What the user did not touch keeps its stored value.
    for (const auto& [setting, value] : c.Stored) {
      EXPECT_EQ(test::StoredNumber(setting), setting == Setting::UrlWidth ? 100 : value)
          << static_cast<int>(setting);
    }
  }
}

// What the window shows can differ from what is stored without anyone
// touching it: a large font makes the narrowest column wider than the 39
// pixels stored, and the tool band takes what the window leaves it. A close
// that follows writes nothing all the same.
TEST_F(MainWindowTest, AnUntouchedWindowWritesNoLayout) {
  const QFont font = QApplication::font();
  for (int points : {0, 24}) {
    SCOPED_TRACE(points);
    QFont large = font;
    if (points != 0) {
      large.setPointSize(points);
    }
    QApplication::setFont(large);
    std::unique_ptr<MainWindow> window = Open();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_EQ(window->ListView()->header()->sectionSize(2) > 39, points != 0);
    window->close();
    QApplication::setFont(font);
    EXPECT_FALSE(std::filesystem::exists(home_.File("config/kivo/settings.reg")));
  }
}

// As a second SIGTERM to kivo-cli: the first close request cancels the
// patrol and lets the download finish, a second one gives it up at once.
TEST_F(MainWindowTest, ASecondCloseRequestGivesTheDownloadUp) {
  test::TestHttpServer server;
  test::ScriptedResponse held = test::ScriptedResponse::Ok("<p>page</p>");
  held.HoldName = "page";
  server.Script("/page.html", held);
  UrlList list;
  auto entry = std::make_unique<UrlEntry>();
  entry->Url.Assign(server.WideUrl("/page.html"));
  list.Add(std::move(entry));
  ASSERT_TRUE(ListFile().Save(list));
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
    UrlList list;
    auto entry = std::make_unique<UrlEntry>();
    entry->Name.Assign(u"A");
    entry->Url.Assign(server.WideUrl("/a.html"));
    list.Add(std::move(entry));
    ASSERT_TRUE(ListFile().Save(list));
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
