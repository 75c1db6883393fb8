#include "notify/DesktopNotifier.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>
#include <utility>

#include "notify/NoticeText.h"

namespace kivo {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The action a click on the notice itself invokes.
const QString kDefaultAction = QStringLiteral("default");
// The desktop entry and icon of the program, for the service to show.
const QString kAppId = QStringLiteral("com.ostrel.Kivo");

QDBusMessage Call(const QDBusConnection& bus, const QString& method,
                  const QVariantList& arguments) {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
  call.setArguments(arguments);
  return bus.call(call, QDBus::Block, kNoticeCallMs);
}

bool IsReply(const QDBusMessage& message) {
  return message.type() == QDBusMessage::ReplyMessage;
}

}  // namespace

DesktopNotifier::DesktopNotifier(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {}

bool DesktopNotifier::Show(const ChangeNotice& notice, HistoryAction action) {
  waiting_ = false;
  if (!bus_.isConnected() || notice.IsEmpty()) {
    return false;
  }
  const QDBusMessage capabilities = Call(bus_, QStringLiteral("GetCapabilities"), {});
  if (!IsReply(capabilities)) {
    return false;
  }
  const QStringList offered = capabilities.arguments().value(0).toStringList();
  const bool markup = offered.contains(QStringLiteral("body-markup"));
  const bool clickable =
      action == HistoryAction::Offer && offered.contains(QStringLiteral("actions"));
  // The signals are heard before the notice exists, so that no click is missed.
  Listen(clickable);
  QStringList actions;
  if (clickable) {
    actions << kDefaultAction << HistoryActionLabel();
  }
  const QVariantMap hints{{QStringLiteral("desktop-entry"), kAppId}};
  const QDBusMessage reply = Call(
      bus_, QStringLiteral("Notify"),
      {QStringLiteral("Kivo"), id_, kAppId, NoticeSummary(notice),
       NoticeBody(notice, markup ? BodyMarkup::Markup : BodyMarkup::Plain), actions, hints, -1});
  if (!IsReply(reply)) {
    Listen(false);
    return false;
  }
  id_ = reply.arguments().value(0).toUInt();
  url_ = QString::fromStdU16String(notice.Url);
  waiting_ = clickable;
  return true;
}

void DesktopNotifier::Close() {
  if (id_ != 0 && bus_.isConnected()) {
    Call(bus_, QStringLiteral("CloseNotification"), {id_});
  }
}

void DesktopNotifier::Listen(bool on) {
  if (on == listening_) {
    return;
  }
  const std::pair<QString, const char*> watched[] = {
      {QStringLiteral("ActionInvoked"), SLOT(OnActionInvoked(uint, QString))},
      {QStringLiteral("NotificationClosed"), SLOT(OnClosed(uint, uint))},
  };
  for (const auto& [name, slot] : watched) {
    if (on) {
      bus_.connect(kService, kPath, kInterface, name, this, slot);
    } else {
      bus_.disconnect(kService, kPath, kInterface, name, this, slot);
    }
  }
  listening_ = on;
}

void DesktopNotifier::OnActionInvoked(uint id, const QString& action) {
  if (!waiting_ || id != id_ || action != kDefaultAction) {
    return;
  }
  waiting_ = false;
  emit historyRequested(url_);
  emit finished();
}

void DesktopNotifier::OnClosed(uint id, uint /*reason*/) {
  if (!waiting_ || id != id_) {
    return;
  }
  waiting_ = false;
  emit finished();
}

}  // namespace kivo
