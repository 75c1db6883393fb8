#include "ui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDBusConnection>
#include <QDialog>
#include <QHeaderView>
#include <QMessageBox>

#include "dialup/DialupFlow.h"
#include "notify/DesktopNotifier.h"
#include "patrol/PatrolList.h"
#include "patrol/PatrolRunning.h"
#include "platform/ProgramFolder.h"
#include "ui/AboutBox.h"
#include "ui/AppIcons.h"
#include "ui/CommandBands.h"
#include "ui/DesktopOpener.h"
#include "ui/GuiMessages.h"
#include "ui/HistoryWindow.h"
#include "ui/MainActions.h"
#include "ui/OptionsSheet.h"
#include "ui/PatrolDialog.h"
#include "ui/UrlEntrySheet.h"
#include "ui/UrlListModel.h"
#include "ui/UrlListView.h"
#include "ui/WindowLayout.h"
#include "urllist/ListEdits.h"

namespace kivo {

namespace {

QString FromWide(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MainWindow::MainWindow(DialupFlow& dialup, QWidget* parent)
    : QMainWindow(parent),
      dialup_(dialup),
      editEntry_(EditUrlEntry),
      showOptions_(ShowOptionsSheet),
      notify_([this](const ChangeNotice& notice) { NotifyDesktop(notice); }),
      file_(UrlListFile::InProgramFolder()) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(QStringLiteral("Kivo"));
  setAccessibleName(QStringLiteral("Kivo"));
  setWindowIcon(ProgramIcon());

  actions_ = std::make_unique<MainActions>(*this, [this](Command command) { Execute(command); });
  bands_ = new CommandBands(actions_->MenuBand(), actions_->ToolBand(), this);
  setMenuWidget(bands_);

  listSaved_ = file_.Load(list_);
  if (!listSaved_) {
    PrintMessage(ListDamagedText(file_.Path(), list_.Count(), file_.BackupPath()));
  }
  model_ = new UrlListModel(list_, this);
  listView_ = new UrlListView(model_, this);
  setCentralWidget(listView_);
  layout_ = std::make_unique<WindowLayout>(*this, *bands_, *listView_->header());
  layout_->Restore();
  if (list_.Count() > 0) {
    listView_->SelectOnly(0);
  }
}

MainWindow::~MainWindow() = default;

bool MainWindow::SaveList() {
  listSaved_ = file_.Save(list_);
  if (listSaved_) {
    return true;
  }
  PrintMessage(ListNotSavedText(file_.Path()));
  // Nobody reads the error output of a desktop program; an unattended run
  // (/Q) says it by its exit status instead of a box nobody may close.
  if (isVisible() && afterPatrol_ != AfterPatrol::Quit) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Kivo"), ListNotSavedText(file_.Path()),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("listNotSavedBox"));
    box.exec();
  }
  return false;
}

QAction* MainWindow::ActionFor(Command command) const {
  return actions_->ActionFor(command);
}

void MainWindow::Execute(Command command) {
  switch (command) {
    case Command::Exit:
      QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
      return;
    case Command::About:
      ShowAbout();
      return;
    case Command::NewEntry:
      NewEntry();
      return;
    case Command::EditEntry:
      EditEntry();
      return;
    case Command::DeleteEntries:
      DeleteEntries();
      return;
    case Command::RunPatrol:
      RunPatrol();
      return;
    case Command::ViewEntry:
      ViewEntry();
      return;
    case Command::Options:
      ShowOptions();
      return;
    case Command::ResetUpdateTime:
      ResetUpdateTime();
      return;
    case Command::PatrolAll:
      StartPatrol(PatrolScope::All);
      return;
    case Command::PatrolSelected:
      StartPatrol(PatrolScope::Selected);
      return;
    case Command::ShowHistory:
      ShowHistory();
      return;
  }
}

void MainWindow::Post(Command command) {
  QMetaObject::invokeMethod(
      this, [this, command] { Execute(command); }, Qt::QueuedConnection);
}

void MainWindow::NewEntry() {
  // A new entry's own folder is the program folder until the user picks one.
  auto entry = std::make_unique<UrlEntry>(platform::ProgramFolder());
  if (!editEntry_(this, *entry)) {
    return;
  }
  listView_->SelectOnly(model_->Append(std::move(entry)));
  SaveList();
}

void MainWindow::EditEntry() {
  const std::vector<int32_t> rows = listView_->SelectedRows();
  if (rows.empty()) {
    return;
  }
  const bool changed = editEntry_(this, *list_[rows.front()]);
  model_->RowChanged(rows.front());
  if (changed) {
    SaveList();
  }
}

void MainWindow::DeleteEntries() {
  const std::vector<int32_t> rows = listView_->SelectedRows();
  if (rows.empty()) {
    return;
  }
  const int32_t next = DeleteRows(list_, rows, [this](int32_t row) { model_->Take(row); });
  if (next >= 0) {
    listView_->SelectOnly(next);
  }
  SaveList();
}

void MainWindow::ViewEntry() {
  const std::vector<int32_t> rows = listView_->SelectedRows();
  if (rows.empty()) {
    return;
  }
  UrlEntry& entry = *list_[rows.front()];
  if (entry.Status == 0) {
    return;
  }
  // A desktop with no opener at all is said, and the entry is not taken as
  // viewed.
  if (!OpenStoredCopy(this, FromWide(entry.LocalFile.View()))) {
    return;
  }
  entry.Status = 2;
  model_->RowChanged(rows.front());
  SaveList();
}

void MainWindow::ResetUpdateTime() {
  const std::vector<int32_t> rows = listView_->SelectedRows();
  if (ResetUpdateTimes(list_, rows) == 0) {
    return;
  }
  for (int32_t row : rows) {
    model_->RowChanged(row);
  }
  SaveList();
}

void MainWindow::ShowHistory() {
  const std::vector<int32_t> rows = listView_->SelectedRows();
  if (rows.empty()) {
    return;
  }
  ShowEntryHistory(this, *list_[rows.front()],
                   [](QWidget* parent, const QString& path) { OpenStoredCopy(parent, path); });
}

void MainWindow::ShowHistoryOf(const QString& url) {
  BringToFront();
  if (patrolling_ || QApplication::activeModalWidget() != nullptr) {
    return;
  }
  for (int32_t row = 0; row < list_.Count(); ++row) {
    if (FromWide(list_[row]->Url.View()) == url) {
      listView_->SelectOnly(row);
      ShowHistory();
      return;
    }
  }
}

void MainWindow::StartPatrol(PatrolScope scope) {
  if (patrolling_) {
    return;
  }
  patrolScope_ = scope;
  if (!dialup_.ShouldDial()) {
    Post(Command::RunPatrol);
    return;
  }
  QPointer<MainWindow> self(this);
  dialup_.BeginDial(this, [self] {
    if (self != nullptr) {
      self->Post(Command::RunPatrol);
    }
  });
}

void MainWindow::RunPatrol() {
  // A second run-patrol command can be queued behind the first (two quick
  // presses of P); it must not start a patrol inside the running one.
  if (patrolling_ || shutDown_) {
    return;
  }
  patrolling_ = true;
  PatrolList patrolList;
  PreparePatrol(list_, patrolScope_, listView_->SelectedRows(), patrolList);
  int32_t updatedEntries = 0;
  ChangeNotice notice;
  bool watched = false;
  {
    PatrolDialog dialog(
        patrolList,
        [this, &updatedEntries](UrlEntry& entry) {
          ++updatedEntries;
          model_->RowChanged(entry.ListIndex);
        },
        this);
    // An unattended run (/Q) must end by itself, so its stop messages go to
    // standard error instead of a box that nobody may be there to answer.
    if (afterPatrol_ == AfterPatrol::Quit) {
      dialog.SetErrorDelivery(PatrolDialog::ErrorDelivery::StandardError);
      dialog.SetTrigger(PatrolTrigger::GuiOption);
    }
    patrolDialog_ = &dialog;
    dialog.Run();
    notice = MakeChangeNotice(dialog.Report().UpdatedEntries);
    watched = dialog.ActiveAtEnd();
  }
  patrolling_ = false;
  if (updatedEntries > 0 || !listSaved_) {
    SaveList();
  }
  TellDesktop(notice, watched);
  dialup_.HangUpIfDialed(this);
  if (afterPatrol_ == AfterPatrol::Quit || closeRequested_) {
    Post(Command::Exit);
  }
}

void MainWindow::ShowAbout() {
  AboutBox box(this);
  box.exec();
}

void MainWindow::ShowOptions() {
  showOptions_(this, dialup_.ListEntries());
}

void MainWindow::TellDesktop(const ChangeNotice& notice, bool watched) {
  if (notice.IsEmpty() || !NoticesWanted()) {
    return;
  }
  if (afterPatrol_ == AfterPatrol::Quit) {
    // The program ends right after this patrol, and could not hear a click
    // on the notice; it is shown once the list is saved and the lock freed.
    noticeAfterExit_ = notice;
    return;
  }
  if (!watched) {
    notify_(notice);
  }
}

void MainWindow::NotifyDesktop(const ChangeNotice& notice) {
  if (notifier_ == nullptr) {
    notifier_ = new DesktopNotifier(QDBusConnection::sessionBus(), this);
    connect(notifier_, &DesktopNotifier::historyRequested, this, &MainWindow::ShowHistoryOf);
  }
  notifier_->Show(notice, HistoryAction::Offer);
}

void MainWindow::RequestClose() {
  // An open sheet or message box would keep the program alive after the
  // window has gone, waiting for a user who may not be there; each is
  // cancelled as Escape would cancel it. The patrol dialog is cancelled
  // through its patrol instead.
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<QDialog*>(widget);
    if (dialog != nullptr && dialog->isVisible() && dialog != patrolDialog_) {
      dialog->reject();
    }
  }
  if (patrolling_) {
    // The first request cancels as the Cancel button does, which lets the
    // download in progress finish within the cancel grace; one more, as a
    // second SIGTERM to kivo-cli, gives that download up at once.
    if (closeRequested_) {
      PatrolRunning.store(kPatrolAbandoned);
      return;
    }
    closeRequested_ = true;
    if (patrolDialog_ != nullptr) {
      patrolDialog_->Cancel();
    }
    return;
  }
  // Queued, so that the dialogs cancelled above have returned first.
  QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void MainWindow::BringToFront() {
  if (isMinimized()) {
    showNormal();
  }
  show();
  raise();
  activateWindow();
}

void MainWindow::SaveAll() {
  if (!listSaved_) {
    SaveList();
  }
  layout_->Save();
}

void MainWindow::Shutdown() {
  if (shutDown_) {
    return;
  }
  shutDown_ = true;
  SaveAll();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (patrolling_) {
    event->ignore();
    RequestClose();
    return;
  }
  Shutdown();
  event->accept();
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  layout_->WindowShown();
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
    listView_->setFocus();
  }
}

}  // namespace kivo
