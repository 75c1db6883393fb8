#pragma once

#include <QString>
#include <functional>
#include <map>

#include "ui/Command.h"

class QAction;
class QMenuBar;
class QToolBar;
class QWidget;

namespace kivo {

// The main window's actions, built from one table: each row is a command
// with its menu item, its keys and, for some, its tool button. Menus, keys
// and buttons therefore cannot disagree about what they do, and a command
// is added or moved in one place.
//
// Every action is bound to the window as well, so that its keys work
// whatever band is shown and whichever control has the focus.
class MainActions final {
 public:
  using Execute = std::function<void(Command)>;

  // Builds the menu bar, the tool bar and their actions for `window`, each
  // action calling `execute` with its command.
  MainActions(QWidget& window, Execute execute);

  QMenuBar* MenuBand() const { return menuBand_; }
  QToolBar* ToolBand() const { return toolBand_; }
  // Returns the action of `command`, or null for one without a menu item.
  QAction* ActionFor(Command command) const;

 private:
  void BuildMenus(QWidget& window, const Execute& execute);
  void BuildToolBar(QWidget& window);

  QMenuBar* menuBand_ = nullptr;
  QToolBar* toolBand_ = nullptr;
  std::map<Command, QAction*> actions_;
};

}  // namespace kivo
