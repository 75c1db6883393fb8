#include "ui/GuiApp.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QSessionManager>
#include <QTranslator>
#include <cstdio>
#include <memory>

#include "dialup/DialupFlow.h"
#include "platform/InstanceLock.h"
#include "platform/ProgramFolder.h"
#include "platform/Utf8.h"
#include "ui/AppIcons.h"
#include "ui/InstanceServer.h"
#include "ui/MainWindow.h"
#include "ui/QuitSignals.h"
#include "ui/StartOptions.h"

namespace kivo {

namespace {

constexpr int kExitLocked = 1;

// Tells the user that kivo-cli holds the program folder: in a box, or on
// stderr when the program runs unattended and nobody may close a box.
void ReportLocked(const StartOptions& options, const std::u16string& folder) {
  const std::string path = platform::Utf8FromUtf16(folder);
  if (options.QuitAfterPatrol) {
    std::fprintf(stderr,
                 "kivo: kivo-cli is working on the program folder %s; Kivo was not started\n",
                 path.c_str());
    return;
  }
  QMessageBox box(
      QMessageBox::Critical, QStringLiteral("Kivo"),
      QStringLiteral("kivo-cli がﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ %1 を使用中のため、Kivo を起動できません。")
          .arg(QString::fromStdString(path)),
      QMessageBox::Ok);
  box.setObjectName(QStringLiteral("lockedBox"));
  box.setAccessibleName(box.text());
  box.exec();
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
  if (RaiseRunningInstance(serverName)) {
    return 0;
  }
  std::unique_ptr<platform::InstanceLock> lock = platform::InstanceLock::TryAcquire();
  if (lock == nullptr) {
    // A copy that took the lock an instant ago may only now be listening.
    if (RaiseRunningInstance(serverName)) {
      return 0;
    }
    ReportLocked(options, folder);
    return kExitLocked;
  }
  QuitSignals quitSignals;
  InstanceServer server;
  if (!server.Listen(serverName)) {
    std::fprintf(stderr,
                 "kivo: cannot listen for later starts; they cannot bring this window to the "
                 "front\n");
  }

  std::unique_ptr<DialupFlow> dialup = CreateDialupFlow();
  MainWindow window(*dialup);
  window.SetAfterPatrol(options.QuitAfterPatrol ? AfterPatrol::Quit : AfterPatrol::Stay);
  QObject::connect(&server, &InstanceServer::activationRequested, &window,
                   &MainWindow::BringToFront);
  QObject::connect(&quitSignals, &QuitSignals::quitRequested, &window, &MainWindow::RequestClose);
  // A logout first asks every program to keep its data; the session may end
  // the program without another word afterwards.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, &MainWindow::SaveAll);
  window.show();
  if (options.PatrolAtStart) {
    window.Post(Command::PatrolAll);
  }
  app.exec();
  window.Shutdown();
  return 0;
}

}  // namespace kivo
