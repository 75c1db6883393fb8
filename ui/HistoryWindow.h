#pragma once

#include <QDialog>
#include <functional>

#include "changes/EntryCopies.h"
#include "html/TextDiff.h"
#include "platform/CodePage.h"
#include "urllist/UrlEntry.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace kivo {

class DiffPane;

// The window "履歴" of one entry: the list of its checks, newest first, with
// the time, outcome and size of each (checks that stored no copy greyed),
// and a pane with the differences in visible text between the selected copy
// and the one before it. It opens on the newest copy. The button "開く", or
// Enter, opens the selected copy.
class HistoryWindow final : public QDialog {
  Q_OBJECT

 public:
  // Opens a stored copy, as the main window's command "表示" does.
  using OpenCopy = std::function<void(QWidget* parent, const QString& path)>;

  // Reads the history of `entry` for the window; `open` opens a copy, and
  // two copies are compared within `limits`.
  HistoryWindow(const UrlEntry& entry, OpenCopy open, QWidget* parent,
                const DiffLimits& limits = {});

  // Shows the line at `index` (newest first) with its diff.
  void SelectLine(int index);

 private:
  void ShowSelected();
  void ShowCopy(int index);
  void OpenSelected();
  void FillList();

  EntryCopies copies_;
  OpenCopy open_;
  DiffLimits limits_;
  platform::CodePage codePage_;
  QTreeWidget* lines_;
  QLabel* earlier_;
  QLabel* compared_;
  DiffPane* diff_;
  QLabel* message_;
  QPushButton* openButton_;
};

// Shows the window "履歴" of `entry` modally over `parent`.
void ShowEntryHistory(QWidget* parent, const UrlEntry& entry, HistoryWindow::OpenCopy open);

}  // namespace kivo
