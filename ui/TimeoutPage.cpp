#include "ui/TimeoutPage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/NumberEdit.h"
#include "ui/SheetControls.h"
#include "urllist/EditRules.h"
#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo {

namespace {

QLabel* MakeSecondsLabel(const char* objectName, QWidget* parent) {
  auto* label = new QLabel(QStringLiteral("秒"), parent);
  NameControl(label, objectName, label->text());
  return label;
}

}  // namespace

TimeoutPage::TimeoutPage(QWidget* parent)
    : SheetPage(parent),
      connect_(new NumberEdit(kMinTimeoutSeconds, kMaxTimeoutSeconds, this)),
      receive_(new NumberEdit(kMinTimeoutSeconds, kMaxTimeoutSeconds, this)),
      connections_(new NumberEdit(kMinConnections, kMaxConnections, this)) {
  const QString connectLabel = QStringLiteral("接続(&C):");
  const QString receiveLabel = QStringLiteral("受信(&R):");
  const QString connectionsLabel = QStringLiteral("同時接続数(&N):");
  NameControl(connect_, "connectTimeoutEdit", connectLabel);
  NameControl(receive_, "receiveTimeoutEdit", receiveLabel);
  NameControl(connections_, "connectionsEdit", connectionsLabel);
  const int fieldWidth = connect_->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 48;
  connect_->setFixedWidth(fieldWidth);
  receive_->setFixedWidth(fieldWidth);
  connections_->setFixedWidth(fieldWidth);

  RegKey key;
  key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath);
  connect_->SetText(QString::number(ReadDwordSetting(key, Setting::ConnectTimeout)));
  receive_->SetText(QString::number(ReadDwordSetting(key, Setting::ReceiveTimeout)));
  connections_->SetText(QString::number(ReadDwordSetting(key, Setting::Connections)));
  key.Close();

  auto* frame = new QGroupBox(QStringLiteral("ﾀｲﾑｱｳﾄ"), this);
  NameControl(frame, "timeoutFrame", frame->title());
  connect_->setParent(frame);
  receive_->setParent(frame);
  auto* grid = new QGridLayout(frame);
  grid->addWidget(MakeBuddyLabel(connectLabel, connect_, "connectTimeoutLabel", frame), 0, 0);
  grid->addWidget(connect_, 0, 1);
  grid->addWidget(MakeSecondsLabel("connectSecondsLabel", frame), 0, 2);
  grid->addWidget(MakeBuddyLabel(receiveLabel, receive_, "receiveTimeoutLabel", frame), 1, 0);
  grid->addWidget(receive_, 1, 1);
  grid->addWidget(MakeSecondsLabel("receiveSecondsLabel", frame), 1, 2);
  grid->setColumnStretch(3, 1);

  // The connection count is no time-out, but it too says how a patrol uses
  // the network, so it sits on this page in a frame of its own.
  auto* network = new QGroupBox(QStringLiteral("接続"), this);
  NameControl(network, "connectionsFrame", network->title());
  connections_->setParent(network);
  auto* row = new QGridLayout(network);
  row->addWidget(MakeBuddyLabel(connectionsLabel, connections_, "connectionsLabel", network), 0, 0);
  row->addWidget(connections_, 0, 1);
  row->setColumnStretch(2, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  layout->addWidget(network);
  layout->addStretch(1);
}

bool TimeoutPage::Apply() {
  RegKey key;
  bool stored = key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath);
  stored =
      WriteDwordSetting(key, Setting::ConnectTimeout, TimeoutFromText(ToView(connect_->text()))) &&
      stored;
  stored =
      WriteDwordSetting(key, Setting::ReceiveTimeout, TimeoutFromText(ToView(receive_->text()))) &&
      stored;
  stored = WriteDwordSetting(key, Setting::Connections,
                             ConnectionsFromText(ToView(connections_->text()))) &&
           stored;
  return key.Close() && stored;
}

}  // namespace kivo
