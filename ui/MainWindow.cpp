#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <cstdio>

#include "dialup/DialupFlow.h"
#include "patrol/PatrolList.h"
#include "platform/FileExists.h"
#include "platform/PlaceholderImage.h"
#include "platform/ProgramFolder.h"
#include "platform/Utf8.h"
#include "ui/AboutBox.h"
#include "ui/AppIcons.h"
#include "ui/CommandBands.h"
#include "ui/OptionsSheet.h"
#include "ui/PatrolDialog.h"
#include "ui/UrlEntrySheet.h"
#include "ui/UrlListModel.h"
#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo {

namespace {

// The window's size and position, kept across runs beside the layout values
// (the text of QWidget::saveGeometry in Base64).
constexpr std::u16string_view kGeometryValue = u"MainWindowGeometry";
constexpr int32_t kGeometryCapacity = 1024;
// Column widths beyond this are taken as damage.
constexpr uint32_t kMaxColumnWidth = 16384;
// A first start opens the window wide enough for the four default columns.
constexpr QSize kDefaultSize(660, 420);

constexpr Setting kColumnWidthSettings[] = {Setting::NameWidth, Setting::UrlWidth,
                                            Setting::LinkLevelWidth, Setting::LastTimeWidth};

QString FromWide(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string ToWide(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                        static_cast<size_t>(text.size()));
}

// Hands `path` to the desktop's default opener. Platforms without desktop
// services (the offscreen and minimal ones) get xdg-open directly, which is
// what the services run on a generic desktop. Failures are not reported.
void OpenWithDesktop(const QString& path) {
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
    QProcess::startDetached(QStringLiteral("xdg-open"), {path});
  }
}

}  // namespace

MainWindow::MainWindow(DialupFlow& dialup, QWidget* parent)
    : QMainWindow(parent),
      dialup_(dialup),
      editEntry_(EditUrlEntry),
      showOptions_(ShowOptionsSheet),
      file_(platform::ProgramFile(u"Kivo.dat")) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(QStringLiteral("Kivo"));
  setAccessibleName(QStringLiteral("Kivo"));
  setWindowIcon(ProgramIcon());

  QMenuBar* menuBand = BuildMenus();
  QToolBar* toolBand = BuildToolBar();
  bands_ = new CommandBands(menuBand, toolBand, this);
  setMenuWidget(bands_);

  listSaved_ = file_.Load(list_);
  if (!listSaved_) {
    std::fprintf(stderr,
                 "kivo: %s could not be read whole; %d entries were read, and the file is kept "
                 "as Kivo.dat.bak when the list is saved\n",
                 platform::Utf8FromUtf16(file_.Path()).c_str(), list_.Count());
  }
  BuildListView();
  ReadLayout();
  if (list_.Count() > 0) {
    SelectOnly(0);
  }
}

MainWindow::~MainWindow() = default;

QMenuBar* MainWindow::BuildMenus() {
  auto* menuBar = new QMenuBar(this);
  menuBar->setObjectName(QStringLiteral("menuBand"));
  menuBar->setAccessibleName(QStringLiteral("ﾒﾆｭｰ"));
  // The menu bar lives in the band row, not in the window's own menu slot,
  // so it must never become a global menu elsewhere on the desktop.
  menuBar->setNativeMenuBar(false);
  // The band may be narrowed down to the menu bar's "»" button.
  menuBar->setSizePolicy(QSizePolicy::Preferred, menuBar->sizePolicy().verticalPolicy());

  const auto addMenu = [&](const QString& title, const QString& objectName) {
    QMenu* menu = menuBar->addMenu(title);
    menu->setObjectName(objectName);
    menu->setAccessibleName(QString(title).remove(QLatin1Char('&')));
    return menu;
  };
  QMenu* file = addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("fileMenu"));
  AddAction(file, QStringLiteral("ｵﾌﾟｼｮﾝ(&O)..."), Command::Options, {},
            QStringLiteral("optionsAction"));
  AddAction(file, QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)..."), Command::About, {},
            QStringLiteral("aboutAction"));
  file->addSeparator();
  AddAction(file, QStringLiteral("終了(&X)\tAlt+X"), Command::Exit,
            {QKeySequence(Qt::ALT | Qt::Key_X)}, QStringLiteral("exitAction"));

  QMenu* url = addMenu(QStringLiteral("URL(&U)"), QStringLiteral("urlMenu"));
  AddAction(url, QStringLiteral("新規(&N)...\tCtrl+N"), Command::NewEntry,
            {QKeySequence(Qt::CTRL | Qt::Key_N)}, QStringLiteral("newAction"));
  AddAction(url, QStringLiteral("編集(&E)...\tAlt+Enter"), Command::EditEntry,
            {QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter),
             QKeySequence(QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_Enter))},
            QStringLiteral("editAction"));
  AddAction(url, QStringLiteral("削除(&D)\tDEL"), Command::DeleteEntries,
            {QKeySequence(Qt::Key_Delete)}, QStringLiteral("deleteAction"));
  url->addSeparator();
  AddAction(url, QStringLiteral("更新日時ﾘｾｯﾄ(&R)"), Command::ResetUpdateTime, {},
            QStringLiteral("resetAction"));
  url->addSeparator();
  AddAction(url, QStringLiteral("表示(&V)\tEnter"), Command::ViewEntry,
            {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter),
             QKeySequence(QKeyCombination(Qt::KeypadModifier, Qt::Key_Enter))},
            QStringLiteral("viewAction"));

  QMenu* patrol = addMenu(QStringLiteral("巡回(&P)"), QStringLiteral("patrolMenu"));
  AddAction(patrol, QStringLiteral("巡回(&P)...\tP"), Command::PatrolAll,
            {QKeySequence(Qt::Key_P), QKeySequence(Qt::Key_Slash)},
            QStringLiteral("patrolAllAction"));
  AddAction(patrol, QStringLiteral("選択巡回(&S)...\tShift+P"), Command::PatrolSelected,
            {QKeySequence(Qt::SHIFT | Qt::Key_P)}, QStringLiteral("patrolSelectedAction"));
  return menuBar;
}

QAction* MainWindow::AddAction(QMenu* menu, const QString& text, Command command,
                               const QList<QKeySequence>& keys, const QString& objectName) {
  // The menus show the key after the tab exactly as written; the keys
  // themselves are bound below.
  auto* action = new QAction(text, this);
  action->setObjectName(objectName);
  action->setShortcuts(keys);
  action->setShortcutContext(Qt::WindowShortcut);
  action->setIconVisibleInMenu(false);
  connect(action, &QAction::triggered, this, [this, command] { Execute(command); });
  menu->addAction(action);
  // Bound to the window as well, so that the keys work whatever band is
  // shown and whichever control has the focus.
  addAction(action);
  actions_[command] = action;
  return action;
}

QToolBar* MainWindow::BuildToolBar() {
  auto* toolBar = new QToolBar(this);
  toolBar->setObjectName(QStringLiteral("toolBand"));
  toolBar->setAccessibleName(QStringLiteral("ﾂｰﾙﾊﾞｰ"));
  toolBar->setMovable(false);
  toolBar->setFloatable(false);
  toolBar->setIconSize(QSize(16, 16));

  const auto addButton = [&](Command command, const QIcon& icon, const QString& tip,
                             const QString& objectName) {
    QAction* action = actions_.at(command);
    action->setIcon(icon);
    action->setToolTip(tip);
    toolBar->addAction(action);
    QWidget* button = toolBar->widgetForAction(action);
    button->setObjectName(objectName);
    button->setAccessibleName(tip);
  };
  addButton(
      Command::NewEntry,
      QIcon::fromTheme(QStringLiteral("document-new"), style()->standardIcon(QStyle::SP_FileIcon)),
      QStringLiteral("新規"), QStringLiteral("newButton"));
  addButton(
      Command::DeleteEntries,
      QIcon::fromTheme(QStringLiteral("edit-delete"), style()->standardIcon(QStyle::SP_TrashIcon)),
      QStringLiteral("削除"), QStringLiteral("deleteButton"));
  toolBar->addSeparator()->setObjectName(QStringLiteral("toolSeparator"));
  addButton(Command::PatrolAll, PatrolIcon(), QStringLiteral("巡回"),
            QStringLiteral("patrolButton"));
  return toolBar;
}

void MainWindow::BuildListView() {
  model_ = new UrlListModel(list_, this);
  listView_ = new QTreeView(this);
  listView_->setObjectName(QStringLiteral("urlList"));
  listView_->setAccessibleName(QStringLiteral("URL一覧"));
  listView_->setModel(model_);
  listView_->setRootIsDecorated(false);
  listView_->setItemsExpandable(false);
  listView_->setExpandsOnDoubleClick(false);
  listView_->setUniformRowHeights(true);
  listView_->setAllColumnsShowFocus(true);
  listView_->setSelectionBehavior(QAbstractItemView::SelectRows);
  listView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  listView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  listView_->setSortingEnabled(false);
  listView_->setTextElideMode(Qt::ElideRight);
  listView_->setIconSize(QSize(16, 16));
  listView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QHeaderView* header = listView_->header();
  header->setObjectName(QStringLiteral("urlListHeader"));
  header->setAccessibleName(QStringLiteral("列見出し"));
  // The stored widths are the columns' own: the last column does not
  // stretch, and the columns keep their order.
  header->setStretchLastSection(false);
  header->setSectionsMovable(false);
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setCentralWidget(listView_);
}

void MainWindow::ReadLayout() {
  RegKey key;
  key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath);
  stored_.Bands = ReadBandValues(key);
  bands_->Apply(stored_.Bands);
  for (int column = 0; column < UrlListModel::kColumnCount; ++column) {
    stored_.Columns[column] = ReadDwordSetting(key, kColumnWidthSettings[column]);
    listView_->header()->resizeSection(
        column, static_cast<int>(std::min(stored_.Columns[column], kMaxColumnWidth)));
  }
  resize(kDefaultSize);
  char16_t geometry[kGeometryCapacity] = {};
  if (key.ReadString(kGeometryValue, geometry, sizeof geometry) != nullptr) {
    stored_.Geometry = geometry;
    restoreGeometry(QByteArray::fromBase64(FromWide(stored_.Geometry).toLatin1()));
  }
  key.Close();
}

void MainWindow::WriteLayout() {
  RegKey key;
  // The key is opened (and created) only when a value has changed.
  const auto write = [&key](Setting setting, uint32_t value, uint32_t& stored) {
    if (value == stored) {
      return;
    }
    if (key.IsOpen() || key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath)) {
      WriteDwordSetting(key, setting, value);
      stored = value;
    }
  };
  const BandValues bands = bands_->Values();
  write(Setting::CommandBandMenuWidth, bands.MenuWidth, stored_.Bands.MenuWidth);
  write(Setting::CommandBandMenuStyle, bands.MenuStyle, stored_.Bands.MenuStyle);
  write(Setting::CommandBandToolWidth, bands.ToolWidth, stored_.Bands.ToolWidth);
  write(Setting::CommandBandToolStyle, bands.ToolStyle, stored_.Bands.ToolStyle);
  write(Setting::CommandBandToolMaximized, bands.ToolMaximized != 0 ? 1 : 0,
        stored_.Bands.ToolMaximized);
  for (int column = 0; column < UrlListModel::kColumnCount; ++column) {
    write(kColumnWidthSettings[column],
          static_cast<uint32_t>(listView_->header()->sectionSize(column)), stored_.Columns[column]);
  }
  const std::u16string geometry = ToWide(QString::fromLatin1(saveGeometry().toBase64()));
  if (geometry != stored_.Geometry &&
      (key.IsOpen() || key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath))) {
    key.WriteValue(kGeometryValue, kRegSz, geometry.c_str(),
                   static_cast<uint32_t>((geometry.size() + 1) * sizeof(char16_t)));
    stored_.Geometry = geometry;
  }
}

bool MainWindow::SaveList() {
  listSaved_ = file_.Save(list_);
  if (listSaved_) {
    return true;
  }
  std::fprintf(stderr, "kivo: could not save %s; the file on disk is unchanged\n",
               platform::Utf8FromUtf16(file_.Path()).c_str());
  return false;
}

QAction* MainWindow::ActionFor(Command command) const {
  const auto found = actions_.find(command);
  return found == actions_.end() ? nullptr : found->second;
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
  }
}

void MainWindow::Post(Command command) {
  QMetaObject::invokeMethod(
      this, [this, command] { Execute(command); }, Qt::QueuedConnection);
}

std::vector<int32_t> MainWindow::SelectedRows() const {
  std::vector<int32_t> rows;
  for (const QModelIndex& index : listView_->selectionModel()->selectedRows()) {
    rows.push_back(index.row());
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

void MainWindow::SelectOnly(int32_t row) {
  listView_->selectionModel()->setCurrentIndex(
      model_->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  listView_->scrollTo(model_->index(row, 0));
}

void MainWindow::NewEntry() {
  // A new entry's own folder is the program folder until the user picks one.
  auto entry = std::make_unique<UrlEntry>(platform::ProgramFolder());
  if (!editEntry_(this, *entry)) {
    return;
  }
  SelectOnly(model_->Append(std::move(entry)));
  SaveList();
}

void MainWindow::EditEntry() {
  const std::vector<int32_t> rows = SelectedRows();
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
  const std::vector<int32_t> rows = SelectedRows();
  if (rows.empty()) {
    return;
  }
  // From the last row to the first, so that the rows still to go keep their
  // indexes.
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
    model_->Take(*row);
  }
  const int32_t lowest = rows.front();
  if (list_.Count() > 0) {
    SelectOnly(std::min(lowest, list_.Count() - 1));
  }
  SaveList();
}

void MainWindow::ViewEntry() {
  const std::vector<int32_t> rows = SelectedRows();
  if (rows.empty()) {
    return;
  }
  UrlEntry& entry = *list_[rows.front()];
  if (entry.Status == 0) {
    return;
  }
  // A copy that is gone, or an entry that names none, opens nothing rather
  // than whatever the desktop makes of an empty or dangling path.
  if (!entry.LocalFile.IsEmpty() && FileExists(entry.LocalFile.View())) {
    OpenWithDesktop(FromWide(entry.LocalFile.View()));
  }
  entry.Status = 2;
  model_->RowChanged(rows.front());
  SaveList();
}

void MainWindow::ResetUpdateTime() {
  const std::vector<int32_t> rows = SelectedRows();
  for (int32_t row : rows) {
    list_[row]->HasLastTime = 0;
    model_->RowChanged(row);
  }
  if (!rows.empty()) {
    SaveList();
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
  for (int32_t row = 0; row < list_.Count(); ++row) {
    list_[row]->ListIndex = row;
  }
  PatrolList patrolList;
  if (patrolScope_ == PatrolScope::All) {
    for (UrlEntry* entry : list_) {
      patrolList.Add(entry);
    }
  } else {
    for (int32_t row : SelectedRows()) {
      patrolList.Add(list_[row]);
    }
  }
  platform::InstallPlaceholderImage();
  int32_t updatedEntries = 0;
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
    }
    patrolDialog_ = &dialog;
    dialog.Run();
  }
  patrolling_ = false;
  if (updatedEntries > 0 || !listSaved_) {
    SaveList();
  }
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
  WriteLayout();
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

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
    listView_->setFocus();
  }
}

}  // namespace kivo
