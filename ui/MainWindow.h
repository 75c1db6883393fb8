#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "changes/ChangeNotice.h"
#include "patrol/PreparePatrol.h"
#include "ui/Command.h"
#include "ui/UrlListView.h"
#include "urllist/UrlList.h"
#include "urllist/UrlListFile.h"

class QAction;

namespace kivo {

class CommandBands;
class DesktopNotifier;
class DialupFlow;
class EntryListing;
class MainActions;
class PatrolDialog;
class UrlListModel;
class WindowLayout;

// What happens after a patrol: the /Q option closes the program.
enum class AfterPatrol { Stay, Quit };

// The main window "Kivo": the band row with the menus and the tool bar, and
// the list of URL entries. It owns the UrlList for the whole run, turns every
// menu item, key and tool button into a Command, and runs patrols.
//
// The list file is saved atomically after every command that changes the
// list and after every patrol that changed an entry, so that a crash or a
// kill loses nothing that a command had finished; the close saves it again
// only when such a save failed. The layout is read when the window is made
// and written when it closes (WindowLayout).
class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  using EditEntryFunction = std::function<bool(QWidget* parent, UrlEntry& entry)>;
  using OptionsFunction =
      std::function<void(QWidget* parent, const std::shared_ptr<EntryListing>& dialupEntries)>;
  using NotifyFunction = std::function<void(const ChangeNotice& notice)>;

  // Builds the window, reads its layout and loads the list file of the
  // program folder. `dialup` must outlive the window.
  explicit MainWindow(DialupFlow& dialup, QWidget* parent = nullptr);
  ~MainWindow() override;

  // True when the list file holds what the window shows: the last save
  // succeeded, or nothing has changed since the list was read.
  bool ListSaved() const { return listSaved_; }
  // Replaces the entry sheet (EditUrlEntry by default), for tests.
  void SetEditEntry(EditEntryFunction editEntry) { editEntry_ = std::move(editEntry); }
  // Replaces the options sheet (ShowOptionsSheet by default), for tests.
  void SetShowOptions(OptionsFunction showOptions) { showOptions_ = std::move(showOptions); }
  // Sets what happens after each patrol.
  void SetAfterPatrol(AfterPatrol afterPatrol) { afterPatrol_ = afterPatrol; }
  // Replaces the desktop notice after a patrol that updated entries while
  // the program was not active (the notification service by default), for
  // tests.
  void SetNotify(NotifyFunction notify) { notify_ = std::move(notify); }
  // Returns the notice that the last patrol of a run with /Q leaves to be
  // shown once the program has ended; empty when there is none.
  const ChangeNotice& NoticeAfterExit() const { return noticeAfterExit_; }
  // Shows the history of the first entry with `url`, brought to the front;
  // nothing while a patrol or another dialog is open.
  void ShowHistoryOf(const QString& url);

  // Carries out `command` now.
  void Execute(Command command);
  // Queues `command`, to be carried out once control is back in the event
  // loop.
  void Post(Command command);

  // Closes the window the orderly way, from a signal or the session: a
  // running patrol is cancelled first, and the window closes once it ended.
  // A second request during that patrol gives its download up at once.
  void RequestClose();
  // Brings the window to the front, for a second start of the program.
  void BringToFront();
  // Saves the list file and the layout without closing, for a session that
  // is about to end.
  void SaveAll();
  // Saves the list and the layout once, as closing does; later calls do
  // nothing. The program calls it when its event loop has ended.
  void Shutdown();

  const UrlList& List() const { return list_; }
  QTreeView* ListView() const { return listView_; }
  // The action of a command with a menu item, or null.
  QAction* ActionFor(Command command) const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  bool SaveList();

  void NewEntry();
  void EditEntry();
  void DeleteEntries();
  void ViewEntry();
  void ResetUpdateTime();
  void ShowHistory();
  void StartPatrol(PatrolScope scope);
  void RunPatrol();
  void ShowAbout();
  void ShowOptions();
  // Tells the desktop of the entries a patrol updated, when the Notify
  // setting lets it: after the program has ended for /Q, at once when the
  // patrol was not `watched` (its dialog did not have the focus at its end).
  void TellDesktop(const ChangeNotice& notice, bool watched);
  void NotifyDesktop(const ChangeNotice& notice);

  DialupFlow& dialup_;
  EditEntryFunction editEntry_;
  OptionsFunction showOptions_;
  NotifyFunction notify_;
  DesktopNotifier* notifier_ = nullptr;
  ChangeNotice noticeAfterExit_;
  UrlList list_;
  UrlListFile file_;
  std::unique_ptr<MainActions> actions_;
  UrlListModel* model_ = nullptr;
  UrlListView* listView_ = nullptr;
  CommandBands* bands_ = nullptr;
  std::unique_ptr<WindowLayout> layout_;
  // False while the list holds changes that the list file lacks.
  bool listSaved_ = true;

  PatrolScope patrolScope_ = PatrolScope::All;
  AfterPatrol afterPatrol_ = AfterPatrol::Stay;
  QPointer<PatrolDialog> patrolDialog_;
  bool patrolling_ = false;
  bool closeRequested_ = false;
  bool shutDown_ = false;
};

}  // namespace kivo
