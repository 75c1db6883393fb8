#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class QDBusPendingCallWatcher;

namespace kivo {

// A saved NetworkManager profile that can be dialed: its object path and its
// id, the name the user knows it by.
struct Profile {
  QString Path;
  QString Id;
};

// One look at NetworkManager's saved profiles of the on-demand kinds. It
// asks for the list of profiles and then for the settings of all of them at
// once, so the whole look takes two round trips, however many profiles there
// are, and nothing waits for it.
class ProfileListing final : public QObject {
  Q_OBJECT

 public:
  using Done = std::function<void(const std::vector<Profile>& profiles)>;

  // Starts the look on `bus` and returns at once. `done` is called once,
  // from the event loop, when every answer is in or has timed out, with the
  // profiles in the service's order (none when the service cannot be
  // reached); the listing then deletes itself. If the listing or `parent`
  // is deleted first, `done` is never called.
  ProfileListing(const QDBusConnection& bus, Done done, QObject* parent);

 private:
  void OnProfilePaths(QDBusPendingCallWatcher* watcher);
  void OnProfileSettings(size_t index, QDBusPendingCallWatcher* watcher);
  void Finish();

  QDBusConnection bus_;
  Done done_;
  // The saved profiles' object paths, in the service's order, and a slot for
  // each that stays empty for a profile of another kind or one that did not
  // answer.
  QStringList paths_;
  std::vector<std::optional<Profile>> profiles_;
  size_t unanswered_ = 0;
};

// Returns the profile that the stored entry name `entryName` stands for: one
// of exactly that id, or else the first whose id the name may have been cut
// from; null when there is none.
const Profile* FindProfile(const std::vector<Profile>& profiles, const QString& entryName);

}  // namespace kivo
