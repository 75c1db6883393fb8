#pragma once

#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <memory>

#include "dialup/MockNetworkManager.h"

namespace kivo::test {

// python3-dbusmock's notification daemon on a private session bus. The bus
// comes from the dial-up tests' mock, started without its service.
class MockNotifications {
 public:
  // Starts the daemon, announcing `capabilities` (dbusmock's own list when
  // empty), or leaves the bus without one for Service::Absent.
  explicit MockNotifications(MockNetworkManager::Service service, const QString& capabilities = {})
      : bus_(MockNetworkManager::Service::Absent) {
    if (!bus_.Started() || service == MockNetworkManager::Service::Absent) {
      started_ = bus_.Started();
      return;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", bus_.Address());
    mock_.setProcessEnvironment(environment);
    mock_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList args{"-m", "dbusmock", "--template", "notification_daemon"};
    if (!capabilities.isEmpty()) {
      args << "-p" << QStringLiteral("{\"capabilities\": \"%1\"}").arg(capabilities);
    }
    mock_.start(MockNetworkManager::Python(), args);
    // The daemon is ready once it answers.
    QElapsedTimer clock;
    clock.start();
    while (Call(kInterface, "GetCapabilities", {}).type() != QDBusMessage::ReplyMessage) {
      if (mock_.state() == QProcess::NotRunning || clock.elapsed() > 60000) {
        return;
      }
      QThread::msleep(20);
    }
    started_ = true;
  }
  MockNotifications(const MockNotifications&) = delete;
  MockNotifications& operator=(const MockNotifications&) = delete;
  ~MockNotifications() {
    mock_.kill();
    mock_.waitForFinished(30000);
  }

  bool Started() const { return started_; }
  const QString& Address() const { return bus_.Address(); }
  QDBusConnection Bus() const { return bus_.Bus(); }

  // The arguments of every call of `method` so far, oldest first.
  QList<QVariantList> Calls(const QString& method) {
    QList<QVariantList> calls;
    const QDBusArgument list =
        Call(kMock, "GetMethodCalls", {method}).arguments().value(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
      qulonglong time = 0;
      QVariantList arguments;
      list.beginStructure();
      list >> time >> arguments;
      list.endStructure();
      calls.append(arguments);
    }
    list.endArray();
    return calls;
  }
  // Emits the service's ActionInvoked for notice `id`, as a click does.
  void Click(uint id) {
    Call(kMock, "EmitSignal", {kInterface, "ActionInvoked", "us", QVariantList{id, "default"}});
  }

 private:
  static constexpr const char* kInterface = "org.freedesktop.Notifications";
  static constexpr const char* kMock = "org.freedesktop.DBus.Mock";

  QDBusMessage Call(const QString& interface, const QString& method,
                    const QVariantList& arguments) {
    QDBusMessage request = QDBusMessage::createMethodCall(
        kInterface, "/org/freedesktop/Notifications", interface, method);
    request.setArguments(arguments);
    return Bus().call(request, QDBus::Block, 30000);
  }

  MockNetworkManager bus_;
  QProcess mock_;
  bool started_ = false;
};

}  // namespace kivo::test
