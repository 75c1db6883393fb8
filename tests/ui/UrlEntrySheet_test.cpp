#include "ui/UrlEntrySheet.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <memory>
#include <vector>

#include "ui/NumberEdit.h"
#include "ui/ServerInputDialog.h"
#include "ui/SheetControls.h"
#include "ui/SheetTesting.h"
#include "urllist/UrlEntry.h"

namespace kivo {
namespace {

using test::Child;
using test::Type;

std::vector<std::u16string> Servers(const UrlEntry& entry) {
  std::vector<std::u16string> servers;
  for (const WideString* server : entry.Servers) {
    servers.emplace_back(server->View());
  }
  return servers;
}

void ClickLine(QListWidget* list, int row) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(row)).center());
}

class UrlEntrySheetTest : public test::SheetTest {};

// The field hands its text to the core's rule (EditRules_test has its cases).
TEST_F(UrlEntrySheetTest, TypedLinkCountGoesThroughTheRuleOnOk) {
  UrlEntry entry;
  entry.LinkLevel = 7;
  UrlEntrySheet sheet(entry, nullptr);
  Type(Child<NumberEdit>(sheet, "linkLevelEdit"), "150");
  sheet.accept();
  EXPECT_EQ(entry.LinkLevel, 99);
}

TEST_F(UrlEntrySheetTest, ArrowsStepWithinTheRange) {
  UrlEntry entry;
  entry.LinkLevel = 99;
  UrlEntrySheet sheet(entry, nullptr);
  auto* level = Child<NumberEdit>(sheet, "linkLevelEdit");
  level->stepUp();
  EXPECT_EQ(level->text(), "99");
  Type(level, "-3");
  level->stepDown();
  EXPECT_EQ(level->text(), "0");
  level->stepUp();
  EXPECT_EQ(level->text(), "1");
}

TEST_F(UrlEntrySheetTest, CancelAfterEditingEveryPageLeavesTheEntry) {
  UrlEntry entry;
  entry.Name.Assign(u"Title");
  entry.LinkLevel = 3;
  entry.Servers.Add(std::make_unique<WideString>(u"http://a/"));
  entry.Servers.Add(std::make_unique<WideString>(u"http://b/"));
  entry.OwnFolder.Assign(u"/srv/own/");
  UrlEntrySheet sheet(entry, nullptr);
  sheet.show();
  Type(Child<QLineEdit>(sheet, "titleEdit"), "Other");
  Type(Child<NumberEdit>(sheet, "linkLevelEdit"), "9");
  sheet.ShowPage(1);
  Child<QCheckBox>(sheet, "getImagesCheck")->click();
  sheet.ShowPage(2);
  auto* list = Child<QListWidget>(sheet, "serverList");
  ClickLine(list, 0);
  Child<QPushButton>(sheet, "deleteServerButton")->click();
  Child<QRadioButton>(sheet, "allLinksRadio")->click();
  sheet.ShowPage(3);
  Child<QCheckBox>(sheet, "useOwnFolderCheck")->click();
  Type(Child<QLineEdit>(sheet, "folderEdit"), "/tmp/x");
  sheet.reject();

  EXPECT_EQ(entry.Name.View(), u"Title");
  EXPECT_EQ(entry.LinkLevel, 3);
  EXPECT_EQ(entry.GetImages, 1);
  EXPECT_EQ(entry.OnlyListedServers, 1);
  EXPECT_EQ(Servers(entry), (std::vector<std::u16string>{u"http://a/", u"http://b/"}));
  EXPECT_EQ(entry.UseOwnFolder, 0);
  EXPECT_EQ(entry.OwnFolder.View(), u"/srv/own/");
}

TEST_F(UrlEntrySheetTest, PagesNeverOpenedKeepTheirFields) {
  UrlEntry entry;
  entry.OwnFolder.Assign(u"/as/given");  // taken as given, not normalised
  UrlEntrySheet sheet(entry, nullptr);
  Type(Child<QLineEdit>(sheet, "urlEdit"), "http://h/");
  sheet.accept();
  EXPECT_EQ(sheet.MadePage(1), nullptr);
  EXPECT_EQ(entry.Url.View(), u"http://h/");
  EXPECT_EQ(entry.GetImages, 1);
  EXPECT_EQ(entry.OnlyListedServers, 1);
  EXPECT_TRUE(Servers(entry).empty());
  EXPECT_EQ(entry.UseOwnFolder, 0);
  EXPECT_EQ(entry.OwnFolder.View(), u"/as/given");
}

// Stored values longer than a field lets the user type (from a list file
// written elsewhere) come back whole on OK, never cut.
TEST_F(UrlEntrySheetTest, LongStoredValuesComeBackWhole) {
  UrlEntry entry;
  const std::u16string title(1500, u't');
  const std::u16string url = u"http://h/" + std::u16string(1500, u'u');
  const std::u16string folder = u"/" + std::u16string(1105, u'f');
  entry.Name.Assign(title);
  entry.Url.Assign(url);
  entry.OwnFolder.Assign(folder);
  UrlEntrySheet sheet(entry, nullptr);
  sheet.ShowPage(3);
  sheet.accept();
  EXPECT_EQ(sheet.result(), QDialog::Accepted);
  EXPECT_EQ(entry.Name.View(), title);
  EXPECT_EQ(entry.Url.View(), url);
  EXPECT_EQ(entry.OwnFolder.View(), folder);
}

TEST_F(UrlEntrySheetTest, ServerButtonsFollowTheSelection) {
  UrlEntry entry;
  for (const char16_t* server : {u"http://a/", u"http://b/", u"http://c/"}) {
    entry.Servers.Add(std::make_unique<WideString>(server));
  }
  UrlEntrySheet sheet(entry, nullptr);
  sheet.show();
  sheet.ShowPage(2);
  auto* list = Child<QListWidget>(sheet, "serverList");
  auto* add = Child<QPushButton>(sheet, "addServerButton");
  auto* change = Child<QPushButton>(sheet, "changeServerButton");
  auto* remove = Child<QPushButton>(sheet, "deleteServerButton");
  auto state = [&] {
    return std::vector<bool>{list->isEnabled(), add->isEnabled(), change->isEnabled(),
                             remove->isEnabled()};
  };
  EXPECT_EQ(state(), (std::vector<bool>{true, true, false, false}));

  ClickLine(list, 0);
  ClickLine(list, 2);
  EXPECT_EQ(state(), (std::vector<bool>{true, true, false, true}));
  remove->click();
  ASSERT_EQ(list->count(), 1);

  ClickLine(list, 0);
  EXPECT_EQ(state(), (std::vector<bool>{true, true, true, true}));
  test::WhenShown<ServerInputDialog>([](ServerInputDialog& dialog) {
    Type(Child<QLineEdit>(dialog, "serverEdit"), "http://new/");
    dialog.accept();
  });
  change->click();
  EXPECT_FALSE(list->item(0)->isSelected());
  EXPECT_EQ(state(), (std::vector<bool>{true, true, false, false}));

  test::WhenShown<ServerInputDialog>([](ServerInputDialog& dialog) { dialog.reject(); });
  add->click();
  EXPECT_EQ(list->count(), 1);

  Child<QRadioButton>(sheet, "allLinksRadio")->click();
  EXPECT_EQ(state(), (std::vector<bool>{false, false, false, false}));
  sheet.accept();
  EXPECT_EQ(entry.OnlyListedServers, 0);
  EXPECT_EQ(Servers(entry), (std::vector<std::u16string>{u"http://new/"}));
}

}  // namespace
}  // namespace kivo
