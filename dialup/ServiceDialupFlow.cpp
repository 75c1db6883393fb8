#include "dialup/ServiceDialupFlow.h"

#include <QMessageBox>

#include "dialup/DialDialog.h"
#include "dialup/HangUpDialog.h"
#include "dialup/RemoteAccess.h"
#include "urllist/DialSettings.h"

namespace kivo {

ServiceDialupFlow::ServiceDialupFlow(std::unique_ptr<RemoteAccess> service,
                                     const DialupTimings& timings)
    : service_(std::move(service)), timings_(timings) {}

ServiceDialupFlow::~ServiceDialupFlow() {
  // The dialog refers to the service and to dialConnection_, which go with
  // this object.
  delete dialDialog_.data();
}

std::shared_ptr<EntryListing> ServiceDialupFlow::ListEntries() {
  return service_->ListEntries();
}

bool ServiceDialupFlow::ShouldDial() {
  if (!ReadDialSettings().Connect || !service_->IsAvailable()) {
    return false;
  }
  return service_->CountActiveConnections() == 0;
}

void ServiceDialupFlow::BeginDial(QWidget* mainWindow, std::function<void()> runPatrol) {
  if (dialDialog_ != nullptr) {
    return;  // one dial at a time; the main window is disabled meanwhile anyway
  }
  dialEntryName_ = QString::fromStdU16String(ReadDialSettings().EntryName);
  dialDialog_ = new DialDialog(mainWindow, *service_, dialConnection_, dialEntryName_, timings_,
                               std::move(runPatrol));
  dialDialog_->Begin();
}

void ServiceDialupFlow::HangUpIfDialed(QWidget* mainWindow) {
  if (!dialConnection_ || !ReadDialSettings().Connect) {
    return;
  }
  HangUpDialog dialog(mainWindow, *service_, dialConnection_, dialEntryName_, timings_);
  if (dialog.Run() != HangUpOutcome::StillUp) {
    return;
  }
  QMessageBox box(QMessageBox::Warning, QStringLiteral(u"切断ｴﾗｰ"),
                  QStringLiteral(u"切断できませんでした. 接続はまだ続いています."), QMessageBox::Ok,
                  mainWindow);
  box.setObjectName(QStringLiteral("hangUpErrorBox"));
  box.setAccessibleName(QStringLiteral(u"切断ｴﾗｰ"));
  box.exec();
}

}  // namespace kivo
