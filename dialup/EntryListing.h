#pragma once

#include <QObject>
#include <QStringList>
#include <memory>

namespace kivo {

// The names of the dial-up entries, which the remote-access service may
// still be looking up. A front end shows Entries() once IsFinished() holds
// and waits for Finished until then, so that a slow service never freezes
// it. It lives on the thread that made it and is shared by whoever waits for
// it; the lookup ends unanswered when the last of them lets go.
class EntryListing final : public QObject {
  Q_OBJECT

 public:
  // Returns a listing that is finished already, with `entries`.
  static std::shared_ptr<EntryListing> Known(const QStringList& entries);

  // True once the entries are known.
  bool IsFinished() const { return finished_; }
  // Returns the entries in the service's order; empty until finished, and
  // empty when the service could not be reached.
  const QStringList& Entries() const { return entries_; }
  // Sets the entries and emits Finished; does nothing once finished.
  void Finish(const QStringList& entries);

 signals:
  // The entries are known now.
  void Finished();

 private:
  QStringList entries_;
  bool finished_ = false;
};

}  // namespace kivo
