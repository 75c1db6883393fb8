#pragma once

#include <QPointer>
#include <QString>
#include <memory>
#include <optional>

#include "dialup/DialupFlow.h"
#include "dialup/DialupTimings.h"

namespace kivo {

class DialDialog;
class RemoteAccess;

// The dial-up flow over a remote-access service: it reads DialupConnect and
// DialupEntry from the settings store, dials with the dial dialog and hangs
// up with the hang-up dialog, but only a connection that it dialed itself.
// While the service cannot be reached it behaves like NoDialup.
class ServiceDialupFlow final : public DialupFlow {
 public:
  explicit ServiceDialupFlow(std::unique_ptr<RemoteAccess> service,
                             const DialupTimings& timings = {});
  ServiceDialupFlow(const ServiceDialupFlow&) = delete;
  ServiceDialupFlow& operator=(const ServiceDialupFlow&) = delete;
  // Closes a dial dialog that is still open; its patrol never runs.
  ~ServiceDialupFlow() override;

  std::shared_ptr<EntryListing> ListEntries() override;
  bool ShouldDial() override;
  void BeginDial(QWidget* mainWindow, std::function<void()> runPatrol) override;
  void HangUpIfDialed(QWidget* mainWindow) override;

 private:
  std::unique_ptr<RemoteAccess> service_;
  DialupTimings timings_;
  // The connection this program dialed, and the entry it was dialed from.
  std::optional<QString> dialConnection_;
  QString dialEntryName_;
  QPointer<DialDialog> dialDialog_;
};

}  // namespace kivo
