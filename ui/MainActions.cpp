#include "ui/MainActions.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <array>

#include "ui/AppIcons.h"

namespace kivo {

namespace {

enum class MenuSlot { File, Url, Patrol };
enum class ToolIcon { None, NewFile, Delete, Patrol };
// Whether a menu item, or a tool button, follows a separator.
enum class Break { None, Before };

struct MenuRow {
  const char16_t* Title;
  const char* ObjectName;
};

constexpr std::array<MenuRow, 3> kMenus = {{
    {u"ﾌｧｲﾙ(&F)", "fileMenu"},
    {u"URL(&U)", "urlMenu"},
    {u"巡回(&P)", "patrolMenu"},
}};

// A command's tool button: its picture, whether a separator comes before
// it, its tool tip and the name tests find it by.
struct ToolButton {
  ToolIcon Icon = ToolIcon::None;
  Break Before = Break::None;
  const char16_t* Tip = nullptr;
  const char* Name = nullptr;
};

// One command: its menu item (the text shows the key after a tab exactly as
// written), the keys bound to it (up to three; the rest are Key_unknown),
// and its tool button, if any. Tool buttons come in the order of the rows.
struct ActionRow {
  Command Id;
  MenuSlot Menu;
  Break MenuBreak;
  const char16_t* Text;
  const char* ObjectName;
  std::array<QKeyCombination, 3> Keys = {};
  ToolButton Button = {};
};

// The keypad's Enter arrives with the keypad modifier; both Enter keys and
// Return do the same.
constexpr ActionRow kActions[] = {
    {Command::Options, MenuSlot::File, Break::None, u"ｵﾌﾟｼｮﾝ(&O)...", "optionsAction"},
    {Command::About, MenuSlot::File, Break::None, u"ﾊﾞｰｼﾞｮﾝ情報(&A)...", "aboutAction"},
    {Command::Exit,
     MenuSlot::File,
     Break::Before,
     u"終了(&X)\tAlt+X",
     "exitAction",
     {Qt::ALT | Qt::Key_X}},
    {Command::NewEntry,
     MenuSlot::Url,
     Break::None,
     u"新規(&N)...\tCtrl+N",
     "newAction",
     {Qt::CTRL | Qt::Key_N},
     {ToolIcon::NewFile, Break::None, u"新規", "newButton"}},
    {Command::EditEntry,
     MenuSlot::Url,
     Break::None,
     u"編集(&E)...\tAlt+Enter",
     "editAction",
     {Qt::ALT | Qt::Key_Return, Qt::ALT | Qt::Key_Enter,
      QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_Enter)}},
    {Command::DeleteEntries,
     MenuSlot::Url,
     Break::None,
     u"削除(&D)\tDEL",
     "deleteAction",
     {QKeyCombination(Qt::Key_Delete)},
     {ToolIcon::Delete, Break::None, u"削除", "deleteButton"}},
    {Command::ResetUpdateTime, MenuSlot::Url, Break::Before, u"更新日時ﾘｾｯﾄ(&R)", "resetAction"},
    {Command::ViewEntry,
     MenuSlot::Url,
     Break::Before,
     u"表示(&V)\tEnter",
     "viewAction",
     {QKeyCombination(Qt::Key_Return), QKeyCombination(Qt::Key_Enter),
      QKeyCombination(Qt::KeypadModifier, Qt::Key_Enter)}},
    {Command::ShowHistory,
     MenuSlot::Url,
     Break::None,
     u"履歴(&H)...\tCtrl+H",
     "historyAction",
     {Qt::CTRL | Qt::Key_H}},
    {Command::PatrolAll,
     MenuSlot::Patrol,
     Break::None,
     u"巡回(&P)...\tP",
     "patrolAllAction",
     {QKeyCombination(Qt::Key_P), QKeyCombination(Qt::Key_Slash)},
     {ToolIcon::Patrol, Break::Before, u"巡回", "patrolButton"}},
    {Command::PatrolSelected,
     MenuSlot::Patrol,
     Break::None,
     u"選択巡回(&S)...\tShift+P",
     "patrolSelectedAction",
     {Qt::SHIFT | Qt::Key_P}},
};

QString Text(const char16_t* text) {
  return QString::fromUtf16(text);
}

QIcon IconFor(ToolIcon icon, const QStyle& style) {
  switch (icon) {
    case ToolIcon::NewFile:
      return QIcon::fromTheme(QStringLiteral("document-new"),
                              style.standardIcon(QStyle::SP_FileIcon));
    case ToolIcon::Delete:
      return QIcon::fromTheme(QStringLiteral("edit-delete"),
                              style.standardIcon(QStyle::SP_TrashIcon));
    case ToolIcon::Patrol:
      return PatrolIcon();
    default:
      return {};
  }
}

}  // namespace

MainActions::MainActions(QWidget& window, Execute execute) {
  BuildMenus(window, execute);
  BuildToolBar(window);
}

QAction* MainActions::ActionFor(Command command) const {
  const auto found = actions_.find(command);
  return found == actions_.end() ? nullptr : found->second;
}

void MainActions::BuildMenus(QWidget& window, const Execute& execute) {
  menuBand_ = new QMenuBar(&window);
  menuBand_->setObjectName(QStringLiteral("menuBand"));
  menuBand_->setAccessibleName(QStringLiteral("ﾒﾆｭｰ"));
  // The menu bar lives in the band row, not in the window's own menu slot,
  // so it must never become a global menu elsewhere on the desktop.
  menuBand_->setNativeMenuBar(false);
  // The band may be narrowed down to the menu bar's "»" button.
  menuBand_->setSizePolicy(QSizePolicy::Preferred, menuBand_->sizePolicy().verticalPolicy());

  std::array<QMenu*, kMenus.size()> menus = {};
  for (size_t i = 0; i < kMenus.size(); ++i) {
    menus[i] = menuBand_->addMenu(Text(kMenus[i].Title));
    menus[i]->setObjectName(QString::fromLatin1(kMenus[i].ObjectName));
    menus[i]->setAccessibleName(Text(kMenus[i].Title).remove(QLatin1Char('&')));
  }
  for (const ActionRow& row : kActions) {
    auto* action = new QAction(Text(row.Text), &window);
    action->setObjectName(QString::fromLatin1(row.ObjectName));
    QList<QKeySequence> keys;
    for (QKeyCombination key : row.Keys) {
      if (key.key() != Qt::Key_unknown) {
        keys.append(QKeySequence(key));
      }
    }
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setIconVisibleInMenu(false);
    const Command command = row.Id;
    QObject::connect(action, &QAction::triggered, &window,
                     [execute, command] { execute(command); });
    QMenu* menu = menus[static_cast<size_t>(row.Menu)];
    if (row.MenuBreak == Break::Before) {
      menu->addSeparator();
    }
    menu->addAction(action);
    window.addAction(action);
    actions_[command] = action;
  }
}

void MainActions::BuildToolBar(QWidget& window) {
  toolBand_ = new QToolBar(&window);
  toolBand_->setObjectName(QStringLiteral("toolBand"));
  toolBand_->setAccessibleName(QStringLiteral("ﾂｰﾙﾊﾞｰ"));
  toolBand_->setMovable(false);
  toolBand_->setFloatable(false);
  toolBand_->setIconSize(QSize(16, 16));
  for (const ActionRow& row : kActions) {
    const ToolButton& tool = row.Button;
    if (tool.Icon == ToolIcon::None) {
      continue;
    }
    if (tool.Before == Break::Before) {
      toolBand_->addSeparator()->setObjectName(QStringLiteral("toolSeparator"));
    }
    QAction* action = actions_.at(row.Id);
    action->setIcon(IconFor(tool.Icon, *window.style()));
    action->setToolTip(Text(tool.Tip));
    toolBand_->addAction(action);
    QWidget* button = toolBand_->widgetForAction(action);
    button->setObjectName(QString::fromLatin1(tool.Name));
    button->setAccessibleName(Text(tool.Tip));
  }
}

}  // namespace kivo
