#include "dialup/NetworkManagerBus.h"

#include <QDBusArgument>
#include <QDBusObjectPath>

namespace kivo {

QDBusMessage NmMethodCall(const QString& path, const QString& interface, const QString& method,
                          const QVariantList& arguments) {
  QDBusMessage call = QDBusMessage::createMethodCall(kNmService, path, interface, method);
  call.setArguments(arguments);
  return call;
}

QDBusMessage NmCall(const QDBusConnection& bus, const QDBusMessage& call) {
  return bus.call(call, QDBus::Block, kNmCallTimeoutMs);
}

QDBusPendingCall NmAsyncCall(const QDBusConnection& bus, const QDBusMessage& call) {
  return bus.asyncCall(call, kNmCallTimeoutMs);
}

bool IsReply(const QDBusMessage& message) {
  return message.type() == QDBusMessage::ReplyMessage && !message.arguments().isEmpty();
}

QStringList ObjectPaths(const QVariant& value) {
  QStringList paths;
  for (const QDBusObjectPath& path : qdbus_cast<QList<QDBusObjectPath>>(value)) {
    paths.append(path.path());
  }
  return paths;
}

bool IsOnDemandKind(const QString& type) {
  static const QStringList kKinds = {QStringLiteral("gsm"),   QStringLiteral("cdma"),
                                     QStringLiteral("pppoe"), QStringLiteral("bluetooth"),
                                     QStringLiteral("vpn"),   QStringLiteral("wireguard")};
  return kKinds.contains(type);
}

}  // namespace kivo
