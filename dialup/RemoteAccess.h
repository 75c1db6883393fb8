#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

#include "dialup/DialState.h"
#include "dialup/EntryListing.h"

namespace kivo {

// One active connection as the remote-access service lists it.
struct ActiveConnection {
  QString Handle;     // what HangUp takes
  QString EntryName;  // the entry it was dialed from
};

// The remote-access service: the entries that can be dialed, the
// connections that are up, dialing and hanging up. Every call is made on the
// thread that owns the object, and dial events arrive there too, never from
// inside Dial itself.
class RemoteAccess : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  // True when the service can be reached now; when it cannot, there are no
  // entries and no connections, and dial-up is off.
  virtual bool IsAvailable() = 0;
  // Starts looking up the names of the entries that can be dialed and
  // returns at once; the listing finishes, from the event loop or at once,
  // with the names in the service's order, or with none when the service
  // cannot be reached.
  virtual std::shared_ptr<EntryListing> ListEntries() = 0;
  // Returns the connections of the dialable kinds that are up or on their
  // way up or down.
  virtual QList<ActiveConnection> ActiveConnections() = 0;
  // Starts dialing the entry named `entryName` and returns at once with the
  // handle of the new connection. Its progress arrives as DialEvent with this
  // handle; a dial that cannot even start reports Disconnected.
  virtual QString Dial(const QString& entryName) = 0;
  // Hangs up the connection `handle` (a dial of ours, or a listed one);
  // after this no more events arrive for it.
  virtual void HangUp(const QString& handle) = 0;

  // Returns how many connections ActiveConnections lists.
  qsizetype CountActiveConnections() { return ActiveConnections().size(); }

 signals:
  void DialEvent(const QString& handle, kivo::DialState state);
};

}  // namespace kivo
