#pragma once

#include <functional>
#include <optional>

#include "dialup/DialProgressDialog.h"
#include "dialup/DialupTimings.h"

namespace kivo {

class DialSequence;
class RemoteAccess;

// The modeless dial dialog. While it is open the main window is disabled;
// it shows the dial's progress, reports a failed dial with the box
// "接続できませんでした.", and when it closes with the connection standing it
// posts `runPatrol` to the main window. It deletes itself when it closes.
class DialDialog final : public DialProgressDialog {
  Q_OBJECT

 public:
  // Makes the dialog over `mainWindow` for dialing `entryName`;
  // `dialConnection` is the connection this program dialed, shared with the
  // hang-up after the patrol.
  DialDialog(QWidget* mainWindow, RemoteAccess& service, std::optional<QString>& dialConnection,
             const QString& entryName, const DialupTimings& timings,
             std::function<void()> runPatrol);

  // Disables the main window, shows the dialog and starts the dial; returns
  // at once.
  void Begin();

 protected:
  void OnCancel() override;

 private:
  void ReportFailure();
  void Close(bool connected);

  QWidget* mainWindow_;
  DialSequence* sequence_;
  QString entryName_;
  std::function<void()> runPatrol_;
};

}  // namespace kivo
