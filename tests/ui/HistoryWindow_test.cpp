// The history window of an entry, on histories written as patrols would.
#include "ui/HistoryWindow.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>
#include <filesystem>
#include <memory>

#include "common/SampleHistory.h"
#include "ui/DiffPane.h"
#include "ui/SheetTesting.h"
#include "urllist/UrlListFile.h"

namespace kivo {
namespace {

using test::Child;

class HistoryWindowTest : public test::SheetTest {
 protected:
  void SetUp() override {
    test::WriteSampleHistory(folder_);
    UrlListFile::InProgramFolder().Load(list_);
  }

  std::unique_ptr<HistoryWindow> Open(int32_t row, const DiffLimits& limits = {}) {
    return std::make_unique<HistoryWindow>(
        *list_[row], [this](QWidget*, const QString& path) { opened_.push_back(path); }, nullptr,
        limits);
  }

  static QTreeWidget* Lines(HistoryWindow& window) {
    return Child<QTreeWidget>(window, "historyLines");
  }
  static QString Message(HistoryWindow& window) {
    return Child<QLabel>(window, "diffMessage")->text();
  }
  static QString Diff(HistoryWindow& window) {
    return Child<DiffPane>(window, "diffPane")->toPlainText();
  }

  const std::string folder_ = home_.Program() + "/";
  UrlList list_;
  std::vector<QString> opened_;
};

TEST_F(HistoryWindowTest, ListsEveryCheckAndShowsWhatEachCopyChanged) {
  std::unique_ptr<HistoryWindow> window = Open(0);
  QTreeWidget* lines = Lines(*window);
  ASSERT_EQ(lines->topLevelItemCount(), 6);
  const QColor greyed = window->palette().color(QPalette::Disabled, QPalette::Text);
  for (int line = 0; line < 6; ++line) {
    const bool copy = line % 2 == 1;
    EXPECT_EQ(lines->topLevelItem(line)->foreground(0).color() == greyed, !copy) << line;
  }
  EXPECT_EQ(lines->topLevelItem(2)->text(1), "失敗 (HTTP 503)");
  // The window opens on the newest change.
  EXPECT_EQ(lines->currentItem(), lines->topLevelItem(1));
  EXPECT_EQ(Diff(*window), "@@ -1,3 +1,4 @@\n  News\n  Tokyo: snow\n  Osaka: sun\n+ Nagoya: wind");
  struct Case {
    int Line;
    QString Diff;
    QString Message;
    bool Openable;
  };
  const Case cases[] = {
      {3, "@@ -1,3 +1,3 @@\n  News\n- Tokyo: rain\n+ Tokyo: snow\n  Osaka: sun", "", true},
      {5, "", "最初のｺﾋﾟｰです。比べる前のｺﾋﾟｰはありません。", true},
      {4, "", "この巡回ではﾍﾟｰｼﾞは変わっていませんでした。", true},
      {2, "", "この巡回ではﾍﾟｰｼﾞを取得できませんでした (HTTP 503)。", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Line);
    window->SelectLine(c.Line);
    EXPECT_EQ(Diff(*window), c.Diff);
    EXPECT_EQ(Message(*window), c.Message);
    EXPECT_EQ(Child<QPushButton>(*window, "openCopyButton")->isEnabled(), c.Openable);
  }
  // Within a changed line, the changed word has a shade of its own.
  window->SelectLine(3);
  const QTextBlock removed = Child<DiffPane>(*window, "diffPane")->document()->findBlockByNumber(2);
  ASSERT_EQ(removed.text(), "- Tokyo: rain");
  QTextCursor cursor(removed);
  cursor.setPosition(removed.position() + 4);
  const QBrush line = cursor.charFormat().background();
  cursor.setPosition(removed.position() + 11);
  EXPECT_NE(cursor.charFormat().background(), line);
}

TEST_F(HistoryWindowTest, EnterOpensTheSelectedCopy) {
  std::unique_ptr<HistoryWindow> window = Open(0);
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QTreeWidget* lines = Lines(*window);
  lines->setFocus();
  QTest::keyClick(lines, Qt::Key_Down);
  QTest::keyClick(lines, Qt::Key_Return);
  window->SelectLine(4);
  QTest::keyClick(lines, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(opened_, (std::vector<QString>{QString::fromStdString(folder_ + "newsA.html"),
                                           QString::fromStdString(folder_ + "news.html")}));
  EXPECT_TRUE(window->isVisible());
}

TEST_F(HistoryWindowTest, SaysWhyACopyIsNotCompared) {
  struct Case {
    const char* Name;
    int32_t Row;
    int Line;
    QString Message;
    bool EarlierUnknown;
  };
  DiffLimits tight;
  tight.LineWork = 1;
  const Case cases[] = {
      {"a copy from before the history", 1, 2, "比べる前のｺﾋﾟｰは記録されていません。", true},
      {"a diff beyond its bounds", 0, 3, "違いが大きすぎるので表示できません。", false},
      {"a copy that is gone", 0, 1,
       "ｺﾋﾟｰがありません: " + QString::fromStdString(folder_ + "newsA.html"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    if (c.Line == 1) {
      std::filesystem::remove(folder_ + "newsA.html");
    }
    std::unique_ptr<HistoryWindow> window = Open(c.Row, c.Line == 3 ? tight : DiffLimits());
    window->SelectLine(c.Line);
    EXPECT_EQ(Message(*window), c.Message);
    EXPECT_EQ(Diff(*window), "");
    EXPECT_EQ(!Child<QLabel>(*window, "earlierUnknownLabel")->isHidden(), c.EarlierUnknown);
  }
}

}  // namespace
}  // namespace kivo
