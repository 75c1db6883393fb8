#include "ui/InstanceServer.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <memory>

#include "notify/NoticeWaiter.h"

namespace kivo {

namespace {

// Long enough for a connection to an overloaded program, short enough that
// a start that finds nobody does not seem to hang.
constexpr int kConnectMs = 2000;
constexpr int kAnswerMs = 5000;
// How long the running program waits for a start's line.
constexpr int kLineMs = 1000;
// The longest line a start sends: the option and a percent-encoded URL.
constexpr qint64 kMaxLine = 16 * 1024;

}  // namespace

QString InstanceServerName(std::u16string_view programFolder) {
  const QString folder =
      QString::fromUtf16(programFolder.data(), static_cast<qsizetype>(programFolder.size()));
  const QByteArray hash =
      QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
  const QString base = QStringLiteral("kivo-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
  // The runtime folder belongs to the user alone; without one, Qt puts the
  // socket in the temporary folder, where the user id keeps names apart.
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (runtime.isEmpty()) {
    return base;
  }
  return QDir(runtime).filePath(base + QStringLiteral(".sock"));
}

bool RaiseRunningInstance(const QString& name, const std::optional<QString>& historyUrl) {
  QLocalSocket socket;
  socket.connectToServer(name);
  if (!socket.waitForConnected(kConnectMs)) {
    return false;
  }
  const QString line = historyUrl ? HistoryOptionFor(*historyUrl) : QString();
  socket.write(line.toLatin1() + '\n');
  socket.flush();
  // The running program closes the connection once it has come to the front.
  if (socket.state() != QLocalSocket::UnconnectedState) {
    socket.waitForDisconnected(kAnswerMs);
  }
  return true;
}

InstanceServer::InstanceServer(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
  server_->setObjectName(QStringLiteral("instanceServer"));
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &InstanceServer::Accept);
}

bool InstanceServer::Listen(const QString& name) {
  QLocalServer::removeServer(name);
  return server_->listen(name);
}

void InstanceServer::Accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    Serve(socket);
  }
}

void InstanceServer::Serve(QLocalSocket* socket) {
  socket->setReadBufferSize(kMaxLine);
  auto answered = std::make_shared<bool>(false);
  // A start that sends no line, or goes away, is still brought to the front.
  const auto answer = [this, socket, answered] {
    if (*answered) {
      return;
    }
    *answered = true;
    const QString line = QString::fromLatin1(socket->readLine(kMaxLine)).trimmed();
    // The start may end now; what it asked for is done after.
    socket->disconnectFromServer();
    emit activationRequested();
    if (const std::optional<QString> url = HistoryUrlFromOption(line)) {
      emit historyRequested(*url);
    }
  };
  connect(socket, &QLocalSocket::readyRead, this, [socket, answer] {
    if (socket->canReadLine() || socket->bytesAvailable() >= kMaxLine) {
      answer();
    }
  });
  connect(socket, &QLocalSocket::disconnected, this, answer);
  connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  QTimer::singleShot(kLineMs, socket, answer);
  if (socket->canReadLine()) {
    answer();
  }
}

}  // namespace kivo
