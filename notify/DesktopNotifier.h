#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include "changes/ChangeNotice.h"

namespace kivo {

// Whether a notice offers to open the first updated entry's history.
enum class HistoryAction { None, Offer };

// A call to the notification service that has no answer within this time
// counts as failed, so that a hung service holds a patrol's end up only
// briefly.
inline constexpr int kNoticeCallMs = 2000;

// Shows the notice after a patrol through the freedesktop notification
// service (org.freedesktop.Notifications) on one bus, and hears what the
// user does with it. Without a service, or on a bus that is not connected,
// nothing is shown and nothing else happens.
class DesktopNotifier final : public QObject {
  Q_OBJECT

 public:
  // Talks to the service on `bus`.
  explicit DesktopNotifier(const QDBusConnection& bus, QObject* parent = nullptr);

  // Shows `notice`, replacing the object's previous one, and returns whether
  // the service took it. With HistoryAction::Offer and a service that shows
  // actions, a click on the notice comes back as historyRequested.
  bool Show(const ChangeNotice& notice, HistoryAction action);
  // Takes the shown notice off the desktop, if it is still there.
  void Close();
  // Returns whether a shown notice still offers its action.
  bool Waiting() const { return waiting_; }

 signals:
  // The user clicked the notice: open the history of the entry with `url`.
  void historyRequested(const QString& url);
  // The notice no longer offers its action: clicked, closed or expired.
  void finished();

 private slots:
  void OnActionInvoked(uint id, const QString& action);
  void OnClosed(uint id, uint reason);

 private:
  void Listen(bool on);

  QDBusConnection bus_;
  uint id_ = 0;
  bool waiting_ = false;
  bool listening_ = false;
  QString url_;
};

}  // namespace kivo
