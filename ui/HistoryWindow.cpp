#include "ui/HistoryWindow.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "changes/CopyComparison.h"
#include "ui/DiffPane.h"
#include "ui/HistoryTexts.h"
#include "ui/SheetControls.h"

namespace kivo {
namespace {

enum Column { kTimeColumn, kOutcomeColumn, kSizeColumn };

QLabel* MakeLabel(const QString& text, const char* objectName, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  NameControl(label, objectName, text);
  return label;
}

}  // namespace

HistoryWindow::HistoryWindow(const UrlEntry& entry, OpenCopy open, QWidget* parent,
                             const DiffLimits& limits)
    : QDialog(parent),
      copies_(LoadEntryCopies(entry.Url.View(), entry.LocalFile.View())),
      open_(std::move(open)),
      limits_(limits),
      codePage_(platform::AnsiCodePageName()),
      lines_(new QTreeWidget(this)),
      earlier_(MakeLabel(QStringLiteral("これより前のｺﾋﾟｰは記録されていません。"),
                         "earlierUnknownLabel", this)),
      compared_(MakeLabel(QString(), "comparedLabel", this)),
      diff_(new DiffPane(this)),
      message_(MakeLabel(QString(), "diffMessage", this)),
      openButton_(new QPushButton(QStringLiteral("開く(&O)"), this)) {
  const QString name = ToQString(entry.Name.IsEmpty() ? entry.Url.View() : entry.Name.View());
  setObjectName(QStringLiteral("historyWindow"));
  setWindowTitle(QStringLiteral("履歴 - %1").arg(name));
  setAccessibleName(windowTitle());
  resize(640, 520);

  const QString linesLabel = QStringLiteral("ｺﾋﾟｰ(&C):");
  const QString diffLabel = QStringLiteral("差分(&D):");
  NameControl(lines_, "historyLines", linesLabel);
  NameControl(diff_, "diffPane", diffLabel);
  NameControl(openButton_, "openCopyButton", openButton_->text());
  lines_->setHeaderLabels({QStringLiteral("日時"), QStringLiteral("結果"), QStringLiteral("ｻｲｽﾞ")});
  lines_->setRootIsDecorated(false);
  lines_->setUniformRowHeights(true);
  lines_->header()->setStretchLastSection(false);
  lines_->header()->setSectionResizeMode(kOutcomeColumn, QHeaderView::Stretch);
  // A history that cannot be read leaves only what the list knows.
  if (!copies_.Problems.empty()) {
    earlier_->setText(QStringLiteral("履歴を読めないため、ﾘｽﾄにあるｺﾋﾟｰだけを表示しています。"));
    earlier_->setAccessibleName(earlier_->text());
  }
  earlier_->setVisible(copies_.EarlierUnknown || !copies_.Problems.empty());

  auto* buttons = new QDialogButtonBox(this);
  buttons->setObjectName(QStringLiteral("historyButtons"));
  buttons->addButton(openButton_, QDialogButtonBox::ActionRole);
  QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
  close->setText(QStringLiteral("閉じる"));
  NameControl(close, "closeHistoryButton", close->text());
  // Enter anywhere in the window opens the selected copy, as in the main window.
  openButton_->setDefault(true);
  close->setAutoDefault(false);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(MakeBuddyLabel(linesLabel, lines_, "historyLinesLabel", this));
  layout->addWidget(lines_, 2);
  layout->addWidget(earlier_);
  layout->addWidget(MakeBuddyLabel(diffLabel, diff_, "diffPaneLabel", this));
  layout->addWidget(compared_);
  layout->addWidget(diff_, 3);
  layout->addWidget(message_);
  layout->addWidget(buttons);

  connect(openButton_, &QPushButton::clicked, this, &HistoryWindow::OpenSelected);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(lines_, &QTreeWidget::currentItemChanged, this, &HistoryWindow::ShowSelected);
  FillList();
}

void HistoryWindow::FillList() {
  const QColor greyed = palette().color(QPalette::Disabled, QPalette::Text);
  for (const CopyLine& line : copies_.Lines) {
    auto* item =
        new QTreeWidgetItem(lines_, {LineTimeText(line), OutcomeText(line), SizeText(line)});
    item->setTextAlignment(kSizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    if (line.CopyNumber == 0) {
      // A check that stored nothing shows that the page was looked at.
      for (int column = 0; column < lines_->columnCount(); ++column) {
        item->setForeground(column, greyed);
      }
    }
  }
  for (int column = 0; column < lines_->columnCount(); ++column) {
    lines_->resizeColumnToContents(column);
  }
  if (copies_.Lines.empty()) {
    message_->setText(QStringLiteral("まだｺﾋﾟｰはありません。"));
    openButton_->setEnabled(false);
    return;
  }
  // The window opens on the newest change.
  const std::optional<size_t> newest = FindCopy(copies_, 1);
  SelectLine(static_cast<int>(newest.value_or(0)));
}

void HistoryWindow::SelectLine(int index) {
  lines_->setCurrentItem(lines_->topLevelItem(index));
}

void HistoryWindow::ShowSelected() {
  const int index = lines_->indexOfTopLevelItem(lines_->currentItem());
  diff_->Clear();
  compared_->clear();
  message_->clear();
  if (index < 0) {
    openButton_->setEnabled(false);
    return;
  }
  const CopyLine& line = copies_.Lines[static_cast<size_t>(index)];
  openButton_->setEnabled(!CopyPathOf(line).empty());
  if (line.CopyNumber == 0) {
    message_->setText(NoCopyText(line));
    return;
  }
  ShowCopy(index);
}

void HistoryWindow::ShowCopy(int index) {
  const CopyLine& line = copies_.Lines[static_cast<size_t>(index)];
  const std::optional<size_t> before = CopyBefore(copies_, static_cast<size_t>(index));
  if (!before) {
    message_->setText(copies_.EarlierUnknown
                          ? QStringLiteral("比べる前のｺﾋﾟｰは記録されていません。")
                          : QStringLiteral("最初のｺﾋﾟｰです。比べる前のｺﾋﾟｰはありません。"));
    return;
  }
  const CopyLine& older = copies_.Lines[*before];
  compared_->setText(QStringLiteral("%1 → %2").arg(LineTimeText(older), LineTimeText(line)));
  const CopyComparison comparison =
      CompareCopies(older.Check.StoredPath, line.Check.StoredPath, codePage_, limits_);
  if (!comparison.BothRead()) {
    const bool olderFailed = comparison.Older != CopyRead::Read;
    message_->setText(
        CopyReadText(olderFailed ? comparison.Older : comparison.Newer,
                     ToQString(olderFailed ? older.Check.StoredPath : line.Check.StoredPath)));
    return;
  }
  diff_->ShowDiff(comparison.Diff);
  message_->setText(DiffStatusText(comparison.Diff.Status));
}

void HistoryWindow::OpenSelected() {
  const int index = lines_->indexOfTopLevelItem(lines_->currentItem());
  if (index < 0 || !open_) {
    return;
  }
  const std::u16string_view path = CopyPathOf(copies_.Lines[static_cast<size_t>(index)]);
  if (!path.empty()) {
    open_(this, ToQString(path));
  }
}

void ShowEntryHistory(QWidget* parent, const UrlEntry& entry, HistoryWindow::OpenCopy open) {
  HistoryWindow window(entry, std::move(open), parent);
  window.exec();
}

}  // namespace kivo
