#include "ui/DesktopOpener.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "platform/FileExists.h"
#include "ui/GuiMessages.h"

namespace kivo {

// The desktop's opener is xdg-open, which the desktop services also run on
// a generic desktop; without it they have nothing better and only complain
// in English on stderr, so they are not asked. Platforms without desktop
// services (the offscreen and minimal ones) get xdg-open directly.
bool OpenWithDesktop(const QString& path) {
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty()) {
    return false;
  }
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path)) ||
         QProcess::startDetached(opener, {path});
}

bool OpenStoredCopy(QWidget* parent, const QString& path) {
  // A copy that is gone, or a line that names none, opens nothing rather
  // than whatever the desktop makes of an empty or dangling path.
  if (path.isEmpty() || !FileExists(path.toStdU16String()) || OpenWithDesktop(path)) {
    return true;
  }
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Kivo"), NoOpenerText(), QMessageBox::Ok,
                  parent);
  box.setObjectName(QStringLiteral("noOpenerBox"));
  box.exec();
  return false;
}

}  // namespace kivo
