#include "ui/GuiApp.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QSessionManager>
#include <QThread>
#include <QTranslator>
#include <memory>

#include "dialup/DialupFlow.h"
#include "notify/NoticeWaiter.h"
#include "platform/InstanceLock.h"
#include "platform/ProgramFolder.h"
#include "ui/AppIcons.h"
#include "ui/GuiMessages.h"
#include "ui/InstanceClaim.h"
#include "ui/InstanceServer.h"
#include "ui/MainWindow.h"
#include "ui/QuitSignals.h"
#include "ui/StartOptions.h"

namespace kivo {

namespace {

constexpr int kExitLocked = 1;
constexpr int kExitListNotSaved = 2;
// How long a start waits between two looks for the copy that holds the
// program folder.
constexpr unsigned long kClaimPauseMs = 50;

// Tells the user why this copy does not run: in a box, or on stderr when
// the program runs unattended and nobody may close a box.
void ReportRefusal(const StartOptions& options, const platform::LockAttempt& attempt,
                   std::u16string_view folder) {
  const QString text = LockRefusalText(attempt, folder);
  if (options.QuitAfterPatrol) {
    PrintMessage(text);
    return;
  }
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Kivo"), text, QMessageBox::Ok);
  box.setObjectName(QStringLiteral("lockedBox"));
  box.setAccessibleName(box.text());
  box.exec();
}

// Runs the window until the program ends, with the program folder claimed,
// and returns the notice that a run with /Q leaves to be shown afterwards.
// What a run of the window leaves behind it.
struct WindowOutcome {
  ChangeNotice Notice;
  bool ListSaved = true;
};

WindowOutcome RunWindow(QApplication& app, const StartOptions& options, const QString& serverName) {
  QuitSignals quitSignals;
  InstanceServer server;
  if (!server.Listen(serverName)) {
    PrintMessage(NoListenText());
  }

  std::unique_ptr<DialupFlow> dialup = CreateDialupFlow();
  MainWindow window(*dialup);
  window.SetAfterPatrol(options.QuitAfterPatrol ? AfterPatrol::Quit : AfterPatrol::Stay);
  QObject::connect(&server, &InstanceServer::activationRequested, &window,
                   &MainWindow::BringToFront);
  // The history window is modal, so it opens once the socket's own events are done.
  QObject::connect(&server, &InstanceServer::historyRequested, &window, &MainWindow::ShowHistoryOf,
                   Qt::QueuedConnection);
  QObject::connect(&quitSignals, &QuitSignals::quitRequested, &window, &MainWindow::RequestClose);
  // A logout first asks every program to keep its data; the session may end
  // the program without another word afterwards.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, &MainWindow::SaveAll);
  window.show();
  if (options.HistoryUrl) {
    const QString url = *options.HistoryUrl;
    QMetaObject::invokeMethod(
        &window, [&window, url] { window.ShowHistoryOf(url); }, Qt::QueuedConnection);
  }
  if (options.PatrolAtStart) {
    window.Post(Command::PatrolAll);
  }
  app.exec();
  window.Shutdown();
  return WindowOutcome{window.NoticeAfterExit(), window.ListSaved()};
}

}  // namespace

void InstallQtTranslation(QApplication& app, QTranslator& translator) {
  if (translator.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    app.installTranslator(&translator);
  }
}

int RunGui(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kivo"));
  QApplication::setApplicationVersion(QStringLiteral(KIVO_VERSION));
  // The desktop entry's name, so that a Wayland desktop shows the entry's
  // name and icon for the window.
  QGuiApplication::setDesktopFileName(QStringLiteral("com.ostrel.Kivo"));
  QApplication::setWindowIcon(ProgramIcon());
  QTranslator qtTranslator;
  InstallQtTranslation(app, qtTranslator);
  const StartOptions options = ParseStartOptions(QApplication::arguments().mid(1));

  // One copy per user and program folder. The socket answers a later start;
  // the lock also keeps kivo-cli away while this copy runs.
  const std::u16string folder = platform::ProgramFolder();
  const QString serverName = InstanceServerName(folder);
  Claim claim = ClaimProgramFolder(
      ClaimSteps{[&] { return RaiseRunningInstance(serverName, options.HistoryUrl); },
                 [] { return platform::InstanceLock::Attempt(platform::LockHolder::Kivo); },
                 [] { QThread::msleep(kClaimPauseMs); }});
  if (claim.Result == ClaimResult::Raised) {
    return 0;
  }
  if (claim.Result == ClaimResult::Refused) {
    ReportRefusal(options, claim.Attempt, folder);
    return kExitLocked;
  }
  const WindowOutcome outcome = RunWindow(app, options, serverName);
  // The notice of /P /Q comes once the list is saved and the program folder
  // is free again, from a process that outlives this one to hear a click.
  claim.Attempt.Lock.reset();
  NotifyInBackground(outcome.Notice, "/proc/self/exe");
  return outcome.ListSaved ? 0 : kExitListNotSaved;
}

}  // namespace kivo
