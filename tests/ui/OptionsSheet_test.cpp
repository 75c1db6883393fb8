#include "ui/OptionsSheet.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <filesystem>
#include <string>

#include "common/StoredSettings.h"
#include "dialup/EntryListing.h"
#include "ui/NumberEdit.h"
#include "ui/SheetControls.h"
#include "ui/SheetTesting.h"

namespace kivo {
namespace {

using test::Child;
using test::Store;
using test::StoredNumber;
using test::StoredText;
using test::Type;

class OptionsSheetTest : public test::SheetTest {};

// One row per field: the page hands the text to the core's rule, whose cases
// EditRules_test has. A stored value above the range is shown as stored and
// clamped once written.
TEST_F(OptionsSheetTest, TypedNumbersGoThroughTheRulesOnOk) {
  struct Case {
    const char* Edit;
    Setting Stored;
    QString Typed;
    uint32_t Value;
  };
  const Case cases[] = {
      {"connectTimeoutEdit", Setting::ConnectTimeout, "5", 10},
      {"receiveTimeoutEdit", Setting::ReceiveTimeout, "1000", 600},
      {"connectionsEdit", Setting::Connections, "17", 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Edit);
    Store(Setting::ReceiveTimeout, 700);
    OptionsSheet sheet(EntryListing::Known({}), nullptr);
    sheet.ShowPage(1);
    EXPECT_EQ(Child<NumberEdit>(sheet, "receiveTimeoutEdit")->text(), "700");
    Type(Child<NumberEdit>(sheet, c.Edit), c.Typed);
    sheet.accept();
    EXPECT_EQ(StoredNumber(c.Stored), c.Value);
    EXPECT_EQ(StoredNumber(Setting::ReceiveTimeout), 600u);
  }
}

TEST_F(OptionsSheetTest, CancelAfterEditingEveryPageStoresNothing) {
  Store(Setting::ProxyName, u"proxy:8080");
  const std::string settingsFile = home_.File("config") + "/kivo/settings.reg";
  const std::string before = test::ReadBytes(settingsFile);
  ASSERT_FALSE(before.empty());
  OptionsSheet sheet(EntryListing::Known({QStringLiteral("Office")}), nullptr);
  Child<QCheckBox>(sheet, "dialupCheck")->click();
  Child<QCheckBox>(sheet, "useProxyCheck")->click();
  Type(Child<QLineEdit>(sheet, "proxyNameEdit"), "other:3128");
  sheet.ShowPage(1);
  Type(Child<NumberEdit>(sheet, "connectTimeoutEdit"), "99");
  sheet.ShowPage(2);
  Type(Child<QLineEdit>(sheet, "folderEdit"), "/srv/web");
  sheet.reject();
  EXPECT_EQ(test::ReadBytes(settingsFile), before);
}

// Settings that cannot be written are told, and the sheet stays open.
TEST_F(OptionsSheetTest, SettingsThatCannotBeStoredKeepTheSheetOpen) {
  std::filesystem::remove_all(home_.File("config"));
  std::filesystem::create_directories(home_.File("config"));
  ASSERT_TRUE(test::WriteBytes(home_.File("config") + "/kivo", "not a folder"));
  OptionsSheet sheet(EntryListing::Known({}), nullptr);
  QString shown;
  test::WhenShown<QMessageBox>([&shown](QMessageBox& box) {
    shown = box.objectName();
    box.accept();
  });
  sheet.accept();
  EXPECT_EQ(shown, "settingsNotSavedBox");
  EXPECT_NE(sheet.result(), QDialog::Accepted);
}

// The entries arrive before the sheet is made, while it is open, or not
// before OK; until they do, dial-up waits and OK keeps the stored choice.
TEST_F(OptionsSheetTest, DialupNeedsAListedEntry) {
  struct Case {
    const char* Name;
    QStringList Entries;
    std::u16string StoredEntry;
    int Listed;
    QString Selected;  // empty when dial-up cannot be switched on
  };
  const Case cases[] = {
      {"no entries", {}, u"Office", 0, ""},
      {"only hidden entries", {"`Direct"}, u"`Direct", 0, ""},
      {"exact name first", {"`Direct", "Home", "home2"}, u"HOME", 2, "Home"},
      {"prefix from the second entry", {"Office", "home1", "Home2"}, u"hom", 3, "home1"},
      {"prefix wraps to the first", {"Home1", "Office"}, u"home", 2, "Home1"},
      {"nothing stored", {"Office", "Home"}, u"", 2, "Office"},
  };
  enum class Arrival { BeforeTheSheet, WhileOpen, Never };
  for (const Case& c : cases) {
    for (Arrival arrival : {Arrival::BeforeTheSheet, Arrival::WhileOpen, Arrival::Never}) {
      SCOPED_TRACE(testing::Message() << c.Name << ", arrival " << static_cast<int>(arrival));
      Store(Setting::DialupConnect, 1);
      Store(Setting::DialupEntry, c.StoredEntry);
      auto listing = std::make_shared<EntryListing>();
      if (arrival == Arrival::BeforeTheSheet) {
        listing->Finish(c.Entries);
      }
      OptionsSheet sheet(listing, nullptr);
      auto* dialup = Child<QCheckBox>(sheet, "dialupCheck");
      auto* entries = Child<QComboBox>(sheet, "dialupEntryCombo");
      if (arrival != Arrival::BeforeTheSheet) {
        EXPECT_TRUE(dialup->isChecked());
        EXPECT_FALSE(dialup->isEnabled());
        EXPECT_FALSE(entries->isEnabled());
      }
      if (arrival == Arrival::WhileOpen) {
        listing->Finish(c.Entries);
      }
      const bool listed = arrival != Arrival::Never && c.Listed > 0;
      EXPECT_EQ(entries->count(), arrival == Arrival::Never ? 0 : c.Listed);
      EXPECT_EQ(dialup->isChecked(), arrival == Arrival::Never || listed);
      EXPECT_EQ(dialup->isEnabled(), listed);
      EXPECT_EQ(entries->isEnabled(), listed);
      sheet.accept();
      const bool kept = arrival == Arrival::Never;
      EXPECT_EQ(StoredNumber(Setting::DialupConnect), kept || listed ? 1u : 0u);
      EXPECT_EQ(StoredText(Setting::DialupEntry), kept ? c.StoredEntry : ToView(c.Selected));
    }
  }
}

TEST_F(OptionsSheetTest, ProxyNameIsShownWholeAndEnabledByItsCheckBox) {
  const std::u16string proxy = std::u16string(195, u'p') + u":8080";
  Store(Setting::ProxyName, proxy);
  OptionsSheet sheet(EntryListing::Known({}), nullptr);
  auto* name = Child<QLineEdit>(sheet, "proxyNameEdit");
  auto* label = Child<QLabel>(sheet, "proxyNameLabel");
  EXPECT_EQ(ToView(name->text()), proxy);
  EXPECT_FALSE(name->isEnabled());
  EXPECT_FALSE(label->isEnabled());
  Child<QCheckBox>(sheet, "useProxyCheck")->click();
  EXPECT_TRUE(name->isEnabled());
  EXPECT_TRUE(label->isEnabled());
  sheet.accept();
  EXPECT_EQ(StoredNumber(Setting::UseProxy), 1u);
  EXPECT_EQ(StoredText(Setting::ProxyName), proxy);
}

// The change test is chosen from its three values; a stored number beyond
// them shows, and is kept as, the default that a patrol reads it as.
TEST_F(OptionsSheetTest, TheChangeTestIsOneOfItsValues) {
  const struct {
    uint32_t Stored;
    int Shown;
    int Chosen;
  } cases[] = {{1, 1, 0}, {7, 2, -1}, {2, 2, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Stored);
    Store(Setting::ChangeTest, c.Stored);
    OptionsSheet sheet(EntryListing::Known({}), nullptr);
    sheet.ShowPage(2);
    auto* combo = Child<QComboBox>(sheet, "changeTestCombo");
    EXPECT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->currentIndex(), c.Shown);
    if (c.Chosen >= 0) {
      combo->setCurrentIndex(c.Chosen);
    }
    sheet.accept();
    EXPECT_EQ(StoredNumber(Setting::ChangeTest),
              static_cast<uint32_t>(c.Chosen >= 0 ? c.Chosen : c.Shown));
  }
}

TEST_F(OptionsSheetTest, NotifyIsOnUntilSwitchedOff) {
  for (const uint32_t stored : {1u, 0u, 7u}) {
    SCOPED_TRACE(stored);
    if (stored != 1) {
      Store(Setting::Notify, stored);
    }
    OptionsSheet sheet(EntryListing::Known({}), nullptr);
    sheet.ShowPage(3);
    auto* notify = Child<QCheckBox>(sheet, "notifyCheck");
    EXPECT_EQ(notify->isChecked(), stored != 0);
    notify->click();
    sheet.accept();
    EXPECT_EQ(StoredNumber(Setting::Notify), stored != 0 ? 0u : 1u);
  }
}

}  // namespace
}  // namespace kivo
