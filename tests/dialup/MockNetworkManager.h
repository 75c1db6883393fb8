#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QVariantList>

namespace kivo::test {

// A private D-Bus daemon, started for one test and stopped with it, and on
// it, when asked for, python3-dbusmock's NetworkManager template with one
// device.
class MockNetworkManager {
 public:
  enum class Service { Running, Absent };

  // Returns why the mock cannot run on this machine (python3-dbusmock
  // missing), or an empty text.
  static QString MissingReason();

  explicit MockNetworkManager(Service service);
  MockNetworkManager(const MockNetworkManager&) = delete;
  MockNetworkManager& operator=(const MockNetworkManager&) = delete;
  ~MockNetworkManager();

  // True when the bus (and the service, if asked for) came up.
  bool Started() const { return started_; }
  // The bus address, for DBUS_SYSTEM_BUS_ADDRESS.
  const QString& Address() const { return address_; }
  QDBusConnection Bus() const;

  // The device every test may use, and that the mock's deactivation needs.
  static QString DevicePath();

  // Saves a profile of `type` named `id` and returns its object path.
  QString AddProfile(const QString& type, const QString& id);
  // Activates the profile at `profilePath` as another program would.
  QString ActivateProfile(const QString& profilePath);
  // Makes every later activation start in "activating" on DevicePath(),
  // where the mock's own goes straight to "activated" without a device.
  void ActivateSlowly();
  // Emits `signal` of `interface` from the object `path` with `arguments`
  // of the D-Bus `signature`.
  void Emit(const QString& path, const QString& interface, const QString& signal,
            const QString& signature, const QVariantList& arguments);

 private:
  QDBusMessage Call(const QString& path, const QString& interface, const QString& method,
                    const QVariantList& arguments);
  bool WaitForService();

  QProcess daemon_;
  QProcess mock_;
  QString address_;
  QString connectionName_;
  bool started_ = false;
};

}  // namespace kivo::test
