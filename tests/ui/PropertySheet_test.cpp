// What both property sheets share: where the keyboard starts, the tab order,
// and the folder field's rule.
#include "ui/PropertySheet.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QMessageBox>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/StoredSettings.h"
#include "dialup/EntryListing.h"
#include "ui/OptionsSheet.h"
#include "ui/SheetControls.h"
#include "ui/SheetTesting.h"
#include "ui/UrlEntrySheet.h"
#include "urllist/UrlEntry.h"

namespace kivo {
namespace {

using test::Child;

class PropertySheetTest : public test::SheetTest {
 protected:
  struct Sheet {
    const char* Name;
    std::function<std::unique_ptr<PropertySheet>()> Make;
    std::vector<std::string> TabStops;  // from the first field on
    int FolderPage;
    std::function<std::u16string()> StoredFolder;
  };

  std::vector<Sheet> Sheets() {
    return {
        {"entry",
         [this] { return std::make_unique<UrlEntrySheet>(entry_, nullptr); },
         {"titleEdit", "urlEdit", "linkLevelEdit", "okButton", "cancelButton"},
         3,
         [this] { return std::u16string(entry_.OwnFolder.View()); }},
        {"options",
         [] { return std::make_unique<OptionsSheet>(EntryListing::Known({"Office"}), nullptr); },
         {"dialupCheck", "dialupEntryCombo", "useProxyCheck", "okButton", "cancelButton"},
         2,
         [] { return test::StoredText(Setting::SaveFolder); }},
    };
  }

  // The named control that has the focus; inner parts of a control, such as
  // a spin box's line, stand for the control.
  static std::string FocusName() {
    QWidget* widget = QApplication::focusWidget();
    while (widget != nullptr &&
           (widget->objectName().isEmpty() || widget->objectName().startsWith("qt_"))) {
      widget = widget->parentWidget();
    }
    return widget == nullptr ? std::string() : widget->objectName().toStdString();
  }

  UrlEntry entry_;
};

TEST_F(PropertySheetTest, OpensOnTheFirstFieldAndTabsThroughThePageFirst) {
  test::Store(Setting::DialupConnect, 1);
  for (const Sheet& sheet : Sheets()) {
    SCOPED_TRACE(sheet.Name);
    std::unique_ptr<PropertySheet> dialog = sheet.Make();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    for (const std::string& stop : sheet.TabStops) {
      EXPECT_EQ(FocusName(), stop);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
  }
}

// A relative folder is taken from the working directory, as kivo-cli takes
// it; one too long to be shown again keeps the sheet open and stores nothing.
TEST_F(PropertySheetTest, TypedFoldersFollowTheCommandLinesRule) {
  const std::u16string cwd = test::U16(std::filesystem::current_path().string());
  const std::u16string tooLong(kMaxFolderChars, u'a');
  for (const Sheet& sheet : Sheets()) {
    for (const std::u16string& typed : {std::u16string(u"web"), tooLong}) {
      SCOPED_TRACE(std::string(sheet.Name) + " " + std::to_string(typed.size()));
      const std::u16string before = sheet.StoredFolder();
      std::unique_ptr<PropertySheet> dialog = sheet.Make();
      dialog->ShowPage(sheet.FolderPage);
      if (auto* own = dialog->findChild<QCheckBox*>("useOwnFolderCheck")) {
        own->setChecked(true);
      }
      Child<QLineEdit>(*dialog, "folderEdit")->setText(ToQString(typed));
      bool refused = false;
      if (typed == tooLong) {
        test::WhenShown<QMessageBox>([&refused](QMessageBox& box) {
          refused = true;
          box.accept();
        });
      }
      dialog->accept();
      EXPECT_EQ(refused, typed == tooLong);
      EXPECT_EQ(dialog->result() == QDialog::Accepted, !refused);
      EXPECT_EQ(sheet.StoredFolder(), refused ? before : cwd + u"/web/");
    }
  }
}

}  // namespace
}  // namespace kivo
