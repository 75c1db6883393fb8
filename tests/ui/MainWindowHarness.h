#pragma once

// What the main window's tests share: a dial-up flow that records its use,
// a program folder with six entries to act on, and helpers to select rows
// and read back what the list file holds.

#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QTreeView>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/ProgramHome.h"
#include "common/QtTestApp.h"
#include "dialup/DialupFlow.h"
#include "ui/MainWindow.h"
#include "urllist/UrlListFile.h"

namespace kivo::test {

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
    QtTestApp().setQuitOnLastWindowClosed(false);
    WriteBytes(home_.File("copy1.html"), "<p>one</p>");
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
      entry->Name.Assign(U16(std::string("e").append(std::to_string(i))));
      entry->Url.Assign(U16(std::string("http://example.com/").append(std::to_string(i))));
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

  // Saves a list of one entry, named name, for url.
  static bool WriteOneEntry(const std::u16string& name, const std::u16string& url) {
    UrlList list;
    auto entry = std::make_unique<UrlEntry>();
    entry->Name.Assign(name);
    entry->Url.Assign(url);
    list.Add(std::move(entry));
    return ListFile().Save(list);
  }

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

  ProgramHome home_;
  RecordingDialup dialup_;
  bool editAnswer_ = false;
  int edits_ = 0;
};

}  // namespace kivo::test
