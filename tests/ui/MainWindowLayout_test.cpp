// The main window's layout, its columns and command bands, carried from one
// start to the next, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <utility>
#include <vector>

#include "common/StoredSettings.h"
#include "ui/CommandBands.h"
#include "ui/MainWindowHarness.h"
#include "urllist/Settings.h"

namespace kivo {
namespace {

using test::MainWindowTest;

TEST_F(MainWindowTest, LayoutValuesComeBackAtTheNextStart) {
  struct Case {
    const char* Name;
    std::vector<std::pair<Setting, uint32_t>> Stored;
    std::vector<int> Columns;
    int MenuBandWidth;  // 0: the menu band's minimum; -1: the whole row
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
      {"tool band hidden",
       {{Setting::CommandBandMenuWidth, 174},
        {Setting::CommandBandToolStyle, 4 | CommandBands::kStyleHidden}},
       {200, 266, 39, 116},
       -1},
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
      } else if (c.MenuBandWidth > 0) {
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

}  // namespace
}  // namespace kivo
