#include "dialup/ActiveLines.h"

#include <QDBusArgument>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QVariantMap>
#include <vector>

#include "dialup/NetworkManagerBus.h"
#include "dialup/NetworkManagerStates.h"

namespace kivo {

QList<ActiveConnection> ListActiveLines(const QDBusConnection& bus) {
  QList<ActiveConnection> lines;
  const QDBusMessage reply =
      NmCall(bus, NmMethodCall(kNmManagerPath, kDBusPropertiesInterface, QStringLiteral("Get"),
                               {kNmManagerInterface, QStringLiteral("ActiveConnections")}));
  if (!IsReply(reply)) {
    return lines;
  }
  const QStringList paths = ObjectPaths(reply.arguments().at(0).value<QDBusVariant>().variant());
  std::vector<QDBusPendingCall> questions;
  for (const QString& path : paths) {
    questions.push_back(
        NmAsyncCall(bus, NmMethodCall(path, kDBusPropertiesInterface, QStringLiteral("GetAll"),
                                      {kNmActiveInterface})));
  }
  for (size_t index = 0; index < questions.size(); ++index) {
    questions[index].waitForFinished();
    const QDBusMessage properties = questions[index].reply();
    if (!IsReply(properties)) {
      continue;  // it went away while we looked
    }
    const QVariantMap values = qdbus_cast<QVariantMap>(properties.arguments().at(0));
    const auto state =
        static_cast<ActiveConnectionState>(values.value(QStringLiteral("State")).toUInt());
    if (IsOnDemandKind(values.value(QStringLiteral("Type")).toString()) &&
        state != ActiveConnectionState::Deactivated) {
      lines.append(ActiveConnection{paths[static_cast<qsizetype>(index)],
                                    values.value(QStringLiteral("Id")).toString()});
    }
  }
  return lines;
}

}  // namespace kivo
