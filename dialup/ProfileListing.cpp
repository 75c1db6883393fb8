#include "dialup/ProfileListing.h"

#include <QDBusArgument>
#include <QDBusPendingCallWatcher>
#include <QMap>
#include <QMetaObject>
#include <QVariantMap>
#include <utility>

#include "dialup/EntryName.h"
#include "dialup/NetworkManagerBus.h"

namespace kivo {

ProfileListing::ProfileListing(const QDBusConnection& bus, Done done, QObject* parent)
    : QObject(parent), bus_(bus), done_(std::move(done)) {
  if (!bus_.isConnected()) {
    // Nothing would ever answer a call on a bus that is not there.
    QMetaObject::invokeMethod(this, &ProfileListing::Finish, Qt::QueuedConnection);
    return;
  }
  auto* watcher = new QDBusPendingCallWatcher(
      NmAsyncCall(bus_, NmMethodCall(kNmSettingsPath, kNmSettingsInterface,
                                     QStringLiteral("ListConnections"))),
      this);
  // A call that has failed already is still answered from the event loop,
  // never from inside this constructor.
  connect(watcher, &QDBusPendingCallWatcher::finished, this, &ProfileListing::OnProfilePaths);
}

void ProfileListing::OnProfilePaths(QDBusPendingCallWatcher* watcher) {
  watcher->deleteLater();
  const QDBusMessage reply = watcher->reply();
  if (IsReply(reply)) {
    paths_ = ObjectPaths(reply.arguments().at(0));
  }
  if (paths_.isEmpty()) {
    Finish();
    return;
  }
  profiles_.resize(static_cast<size_t>(paths_.size()));
  unanswered_ = profiles_.size();
  for (size_t index = 0; index < profiles_.size(); ++index) {
    auto* settings = new QDBusPendingCallWatcher(
        NmAsyncCall(bus_, NmMethodCall(paths_[static_cast<qsizetype>(index)], kNmProfileInterface,
                                       QStringLiteral("GetSettings"))),
        this);
    connect(
        settings, &QDBusPendingCallWatcher::finished, this,
        [this, index](QDBusPendingCallWatcher* finished) { OnProfileSettings(index, finished); });
  }
}

void ProfileListing::OnProfileSettings(size_t index, QDBusPendingCallWatcher* watcher) {
  watcher->deleteLater();
  const QDBusMessage reply = watcher->reply();
  if (IsReply(reply)) {
    const auto groups = qdbus_cast<QMap<QString, QVariantMap>>(reply.arguments().at(0));
    const QVariantMap connection = groups.value(QStringLiteral("connection"));
    const QString id = connection.value(QStringLiteral("id")).toString();
    if (IsOnDemandKind(connection.value(QStringLiteral("type")).toString()) && !id.isEmpty()) {
      profiles_[index] = Profile{paths_[static_cast<qsizetype>(index)], id};
    }
  }
  if (--unanswered_ == 0) {
    Finish();
  }
}

void ProfileListing::Finish() {
  std::vector<Profile> profiles;
  for (std::optional<Profile>& profile : profiles_) {
    if (profile) {
      profiles.push_back(std::move(*profile));
    }
  }
  // `done` may end whatever owns this listing, so nothing of it is touched
  // afterwards.
  deleteLater();
  const Done done = std::move(done_);
  done(profiles);
}

const Profile* FindProfile(const std::vector<Profile>& profiles, const QString& entryName) {
  // A profile of exactly that name wins over one whose name was cut to it.
  for (const Profile& profile : profiles) {
    if (profile.Id == entryName) {
      return &profile;
    }
  }
  for (const Profile& profile : profiles) {
    if (EntryNameMatches(entryName, profile.Id)) {
      return &profile;
    }
  }
  return nullptr;
}

}  // namespace kivo
