#pragma once

#include <QDBusConnection>
#include <QList>

#include "dialup/RemoteAccess.h"

namespace kivo {

// Returns NetworkManager's active connections on `bus` that are of the
// on-demand kinds and not yet deactivated, in the service's order; none when
// the service cannot be reached. It asks for the list and then for the
// details of every line at once, so it waits for two round trips however
// many lines are up.
QList<ActiveConnection> ListActiveLines(const QDBusConnection& bus);

}  // namespace kivo
