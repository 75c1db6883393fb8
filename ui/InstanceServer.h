#pragma once

#include <QObject>
#include <QString>
#include <optional>
#include <string_view>

class QLocalServer;
class QLocalSocket;

namespace kivo {

// Returns the name of the running program's local socket for a program
// folder: per user and per folder, in the user's runtime folder when there
// is one.
QString InstanceServerName(std::u16string_view programFolder);

// Asks a program already running under `name` to come to the front and,
// given `historyUrl`, to show the history of the entry with that URL; true
// when one answered. Nothing else is passed on.
bool RaiseRunningInstance(const QString& name,
                          const std::optional<QString>& historyUrl = std::nullopt);

// The local socket on which the running program hears of later starts. Each
// connection is a request to come to the front, with one line that may ask
// for an entry's history; it is closed once the line is read, or after a
// moment without one, and then the signals follow.
//
// Only the holder of the instance lock may listen: it then knows that a
// socket file left under the name is stale, and replaces it.
class InstanceServer final : public QObject {
  Q_OBJECT

 public:
  explicit InstanceServer(QObject* parent = nullptr);

  // Starts listening under `name`; false when the socket cannot be made.
  bool Listen(const QString& name);

 signals:
  void activationRequested();
  // A later start asked for the history of the entry with `url`.
  void historyRequested(const QString& url);

 private:
  void Accept();
  void Serve(QLocalSocket* socket);

  QLocalServer* server_;
};

}  // namespace kivo
