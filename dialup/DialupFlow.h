#pragma once

#include <functional>
#include <memory>

#include "dialup/EntryListing.h"

class QWidget;

namespace kivo {

// What the main window asks of dial-up around a patrol. The main window owns
// one for the whole run; every call is made on the GUI thread.
class DialupFlow {
 public:
  virtual ~DialupFlow() = default;

  // Starts looking up the names of the dial-up entries, for the options
  // sheet's connection page, and returns at once with the listing that will
  // hold them in the service's order.
  virtual std::shared_ptr<EntryListing> ListEntries() = 0;
  // True when the settings ask for dial-up (DialupConnect on) and no dial-up
  // connection is active, so that a patrol must dial first.
  virtual bool ShouldDial() = 0;
  // Dials the entry named by DialupEntry with the dial dialog over
  // `mainWindow` and returns at once; `runPatrol` is called on the GUI thread
  // once the connection stands, and never when the dial fails or is
  // cancelled.
  virtual void BeginDial(QWidget* mainWindow, std::function<void()> runPatrol) = 0;
  // Runs the modal hang-up dialog when this program dialed the connection
  // that is up; does nothing otherwise.
  virtual void HangUpIfDialed(QWidget* mainWindow) = 0;
};

// The flow when no dial-up service is configured: there is nothing to list,
// a patrol never dials, and nothing is hung up.
class NoDialup final : public DialupFlow {
 public:
  std::shared_ptr<EntryListing> ListEntries() override { return EntryListing::Known({}); }
  bool ShouldDial() override { return false; }
  void BeginDial(QWidget* /*mainWindow*/, std::function<void()> runPatrol) override { runPatrol(); }
  void HangUpIfDialed(QWidget* /*mainWindow*/) override {}
};

// Returns the flow the desktop program uses: dial-up over the system's
// network service where there is one, and NoDialup otherwise.
std::unique_ptr<DialupFlow> CreateDialupFlow();

}  // namespace kivo
