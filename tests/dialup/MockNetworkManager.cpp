#include "MockNetworkManager.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>

namespace kivo::test {

namespace {

using ProfileSettings = QMap<QString, QVariantMap>;

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kMockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString kMainPath = QStringLiteral("/org/freedesktop");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");

// The interpreter that has python3-dbusmock; the one first on PATH may be a
// private installation without the system's packages.
QString PythonWithDbusmock() {
  for (const QString& python : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
    QProcess probe;
    probe.start(python, {QStringLiteral("-c"), QStringLiteral("import dbusmock")});
    if (probe.waitForFinished(30000) && probe.exitStatus() == QProcess::NormalExit &&
        probe.exitCode() == 0) {
      return python;
    }
  }
  return {};
}

void Stop(QProcess& process) {
  if (process.state() == QProcess::NotRunning) {
    return;
  }
  process.terminate();
  if (!process.waitForFinished(10000)) {
    process.kill();
    process.waitForFinished(10000);
  }
}

}  // namespace

QString MockNetworkManager::MissingReason() {
  if (PythonWithDbusmock().isEmpty()) {
    return QStringLiteral("python3-dbusmock is not installed (scripts/setup installs it)");
  }
  return {};
}

MockNetworkManager::MockNetworkManager(Service service) {
  static std::atomic<int> count{0};
  connectionName_ = QStringLiteral("kivo-mock-bus-%1").arg(++count);
  daemon_.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--session"), QStringLiteral("--nofork"),
                 QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
  if (!daemon_.waitForReadyRead(30000)) {
    return;
  }
  address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
  if (!Bus().isConnected()) {
    return;
  }
  if (service == Service::Absent) {
    started_ = true;
    return;
  }
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address_);
  mock_.setProcessEnvironment(environment);
  mock_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  mock_.start(PythonWithDbusmock(),
              {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
               QStringLiteral("networkmanager")});
  if (!mock_.waitForStarted(30000) || !WaitForService()) {
    return;
  }
  Call(kMainPath, kMockInterface, QStringLiteral("AddEthernetDevice"),
       {QStringLiteral("ppp0"), QStringLiteral("ppp0"), 30});
  started_ = true;
}

MockNetworkManager::~MockNetworkManager() {
  QDBusConnection::disconnectFromBus(connectionName_);
  Stop(mock_);
  Stop(daemon_);
}

QDBusConnection MockNetworkManager::Bus() const {
  return QDBusConnection::connectToBus(address_, connectionName_);
}

QString MockNetworkManager::DevicePath() {
  return QStringLiteral("/org/freedesktop/NetworkManager/Devices/ppp0");
}

QString MockNetworkManager::AddProfile(const QString& type, const QString& id) {
  qDBusRegisterMetaType<ProfileSettings>();
  ProfileSettings settings;
  settings[QStringLiteral("connection")] =
      QVariantMap{{QStringLiteral("type"), type}, {QStringLiteral("id"), id}};
  const QDBusMessage reply = Call(QStringLiteral("/org/freedesktop/NetworkManager/Settings"),
                                  QStringLiteral("org.freedesktop.NetworkManager.Settings"),
                                  QStringLiteral("AddConnection"), {QVariant::fromValue(settings)});
  return reply.arguments().value(0).value<QDBusObjectPath>().path();
}

QString MockNetworkManager::ActivateProfile(const QString& profilePath) {
  const QDBusObjectPath none(QStringLiteral("/"));
  const QDBusMessage reply = Call(kManagerPath, kService, QStringLiteral("ActivateConnection"),
                                  {QVariant::fromValue(QDBusObjectPath(profilePath)),
                                   QVariant::fromValue(none), QVariant::fromValue(none)});
  return reply.arguments().value(0).value<QDBusObjectPath>().path();
}

void MockNetworkManager::ActivateSlowly() {
  const QString code = QStringLiteral(
                           "self.slow = getattr(self, 'slow', 0) + 1\n"
                           "ret = dbus.ObjectPath(self.AddActiveConnection("
                           "['%1'], args[0], '/', 'slow' + str(self.slow), 1))")
                           .arg(DevicePath());
  Call(kManagerPath, kMockInterface, QStringLiteral("AddMethod"),
       {kService, QStringLiteral("ActivateConnection"), QStringLiteral("ooo"), QStringLiteral("o"),
        code});
}

void MockNetworkManager::Emit(const QString& path, const QString& interface, const QString& signal,
                              const QString& signature, const QVariantList& arguments) {
  Call(path, kMockInterface, QStringLiteral("EmitSignal"),
       {interface, signal, signature, QVariant::fromValue(arguments)});
}

QDBusMessage MockNetworkManager::Call(const QString& path, const QString& interface,
                                      const QString& method, const QVariantList& arguments) {
  QDBusMessage request = QDBusMessage::createMethodCall(kService, path, interface, method);
  request.setArguments(arguments);
  return Bus().call(request, QDBus::Block, 30000);
}

bool MockNetworkManager::WaitForService() {
  // The mock takes its name before it has made its objects, so it is ready
  // only once the settings object answers.
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 60000) {
    const QDBusMessage reply = Call(QStringLiteral("/org/freedesktop/NetworkManager/Settings"),
                                    QStringLiteral("org.freedesktop.NetworkManager.Settings"),
                                    QStringLiteral("ListConnections"), {});
    if (reply.type() == QDBusMessage::ReplyMessage) {
      return true;
    }
    if (mock_.state() == QProcess::NotRunning) {
      return false;
    }
    QThread::msleep(20);
  }
  return false;
}

}  // namespace kivo::test
