#pragma once

#include <signal.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

namespace kivo::test {

// A private D-Bus daemon for one test, and on it, when asked for,
// python3-dbusmock's NetworkManager template with the device DevicePath().
class MockNetworkManager {
 public:
  enum class Service { Running, Absent };

  // The interpreter that has python3-dbusmock (the first python3 on PATH may
  // be a private one without the system's packages), or empty.
  static QString Python() {
    for (const char* python : {"/usr/bin/python3", "python3"}) {
      QProcess probe;
      probe.start(python, {"-c", "import dbusmock"});
      if (probe.waitForFinished(30000) && probe.exitStatus() == QProcess::NormalExit &&
          probe.exitCode() == 0) {
        return python;
      }
    }
    return {};
  }
  static QString DevicePath() { return "/org/freedesktop/NetworkManager/Devices/ppp0"; }

  explicit MockNetworkManager(Service service) {
    static int count = 0;
    name_ = QStringLiteral("kivo-mock-bus-%1").arg(++count);
    daemon_.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address"});
    if (!daemon_.waitForReadyRead(30000)) {
      return;
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    if (service == Service::Absent) {
      started_ = Bus().isConnected();
      return;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", address_);
    mock_.setProcessEnvironment(environment);
    mock_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mock_.start(Python(), {"-m", "dbusmock", "--template", "networkmanager"});
    // The mock takes its name before it makes its objects: it is ready once
    // the settings object answers.
    QElapsedTimer clock;
    clock.start();
    while (Settings("ListConnections", {}).type() != QDBusMessage::ReplyMessage) {
      if (mock_.state() == QProcess::NotRunning || clock.elapsed() > 60000) {
        return;
      }
      QThread::msleep(20);
    }
    Call("/org/freedesktop", kMock, "AddEthernetDevice", {"ppp0", "ppp0", 30});
    started_ = true;
  }
  MockNetworkManager(const MockNetworkManager&) = delete;
  MockNetworkManager& operator=(const MockNetworkManager&) = delete;
  ~MockNetworkManager() {
    QDBusConnection::disconnectFromBus(name_);
    for (QProcess* process : {&mock_, &daemon_}) {
      process->kill();
      process->waitForFinished(30000);
    }
  }

  bool Started() const { return started_; }
  const QString& Address() const { return address_; }
  QDBusConnection Bus() const { return QDBusConnection::connectToBus(address_, name_); }

  // Saves a profile of `type` named `id` and returns its object path.
  QString AddProfile(const QString& type, const QString& id) {
    qDBusRegisterMetaType<QMap<QString, QVariantMap>>();
    const QMap<QString, QVariantMap> profile{{"connection", {{"type", type}, {"id", id}}}};
    return PathIn(Settings("AddConnection", {QVariant::fromValue(profile)}));
  }
  // Activates a profile as another program would.
  void Activate(const QString& profilePath) {
    const QVariant none = QVariant::fromValue(QDBusObjectPath("/"));
    Call(kManagerPath, kNm, "ActivateConnection",
         {QVariant::fromValue(QDBusObjectPath(profilePath)), none, none});
  }
  // Makes later activations start "activating" on DevicePath(), where the
  // mock's own go straight to "activated" without a device.
  void ActivateSlowly() {
    const QString code = QStringLiteral(
                             "self.slow = getattr(self, 'slow', 0) + 1\n"
                             "ret = dbus.ObjectPath(self.AddActiveConnection("
                             "['%1'], args[0], '/', 'slow' + str(self.slow), 1))")
                             .arg(DevicePath());
    Call(kManagerPath, kMock, "AddMethod", {kNm, "ActivateConnection", "ooo", "o", code});
  }
  // Freezes the mock until Release, so that every call to it waits for an
  // answer meanwhile, as with a service that is slow to answer.
  void Hold() { ::kill(static_cast<pid_t>(mock_.processId()), SIGSTOP); }
  void Release() { ::kill(static_cast<pid_t>(mock_.processId()), SIGCONT); }
  // Emits `signal` of `interface` from the object `path`.
  void Emit(const QString& path, const QString& interface, const QString& signal,
            const QString& signature, const QVariantList& arguments) {
    Call(path, kMock, "EmitSignal", {interface, signal, signature, arguments});
  }

 private:
  static constexpr const char* kNm = "org.freedesktop.NetworkManager";
  static constexpr const char* kMock = "org.freedesktop.DBus.Mock";
  static constexpr const char* kManagerPath = "/org/freedesktop/NetworkManager";

  static QString PathIn(const QDBusMessage& reply) {
    return reply.arguments().value(0).value<QDBusObjectPath>().path();
  }
  QDBusMessage Settings(const QString& method, const QVariantList& arguments) {
    return Call("/org/freedesktop/NetworkManager/Settings",
                "org.freedesktop.NetworkManager.Settings", method, arguments);
  }
  QDBusMessage Call(const QString& path, const QString& interface, const QString& method,
                    const QVariantList& arguments) {
    QDBusMessage request = QDBusMessage::createMethodCall(kNm, path, interface, method);
    request.setArguments(arguments);
    return Bus().call(request, QDBus::Block, 30000);
  }

  QProcess daemon_;
  QProcess mock_;
  QString address_;
  QString name_;
  bool started_ = false;
};

}  // namespace kivo::test
