#include "dialup/DialDialog.h"

#include <QMessageBox>
#include <QTimer>

#include "dialup/DialSequence.h"

namespace kivo {

DialDialog::DialDialog(QWidget* mainWindow, RemoteAccess& service,
                       std::optional<QString>& dialConnection, const QString& entryName,
                       const DialupTimings& timings, std::function<void()> runPatrol)
    : DialProgressDialog(mainWindow),
      mainWindow_(mainWindow),
      sequence_(new DialSequence(service, dialConnection, timings, this)),
      entryName_(entryName),
      runPatrol_(std::move(runPatrol)) {
  setObjectName(QStringLiteral("dialDialog"));
  setAccessibleName(QStringLiteral(u"接続中"));
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  setWindowTitle(QStringLiteral(u"%1に接続中...").arg(entryName));
  connect(sequence_, &DialSequence::StatusChanged, this, &DialDialog::SetStatus);
  connect(sequence_, &DialSequence::Connected, this, [this] { SetCancelEnabled(false); });
  connect(sequence_, &DialSequence::Failed, this, &DialDialog::ReportFailure);
  connect(sequence_, &DialSequence::Finished, this,
          [this](DialOutcome outcome) { Close(outcome == DialOutcome::Connected); });
}

void DialDialog::Begin() {
  mainWindow_->setEnabled(false);
  // Disabling a window disables the windows it owns as well; this one must
  // stay usable.
  setEnabled(true);
  show();
  sequence_->Start(entryName_);
}

void DialDialog::OnCancel() {
  sequence_->Cancel();
}

void DialDialog::ReportFailure() {
  hide();
  auto* box =
      new QMessageBox(QMessageBox::Warning, QStringLiteral(u"接続ｴﾗｰ"),
                      QStringLiteral(u"接続できませんでした."), QMessageBox::Ok, mainWindow_);
  box->setObjectName(QStringLiteral("dialErrorBox"));
  box->setAccessibleName(QStringLiteral(u"接続ｴﾗｰ"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setEnabled(true);
  connect(box, &QMessageBox::finished, sequence_, &DialSequence::FinishFailure);
  box->open();
}

void DialDialog::Close(bool connected) {
  mainWindow_->setEnabled(true);
  if (connected) {
    // Posted, so that the patrol starts from the main loop once this dialog
    // is gone.
    QTimer::singleShot(0, mainWindow_, runPatrol_);
  }
  // done() rather than close(): closing a visible dialog would count as
  // Cancel.
  done(connected ? Accepted : Rejected);
}

}  // namespace kivo
