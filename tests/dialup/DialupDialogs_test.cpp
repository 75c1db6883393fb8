#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "FakeRemoteAccess.h"
#include "common/ProgramHome.h"
#include "common/QtTestApp.h"
#include "common/StoredSettings.h"
#include "dialup/DialDialog.h"
#include "dialup/HangUpDialog.h"
#include "dialup/ServiceDialupFlow.h"

namespace kivo {
namespace {

using test::FakeRemoteAccess;
using test::WaitFor;

// Presses OK on every message box that comes up modally and keeps its title
// and text, for the boxes that block inside HangUpIfDialed.
struct BoxCloser {
  BoxCloser() {
    QObject::connect(&timer, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        texts.append(box->windowTitle() + u'|' + box->text());
        box->accept();
      }
    });
    timer.start(1);
  }
  QTimer timer;
  QStringList texts;
};

class DialupDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDialup(1, u"Office");
    MakeFlow();
    mainWindow_.show();
  }

  // Makes the flow over a fresh fake service, with timings_.
  void MakeFlow() {
    auto service = std::make_unique<FakeRemoteAccess>();
    fake_ = service.get();
    flow_ = std::make_unique<ServiceDialupFlow>(std::move(service), timings_);
  }

  void SetDialup(uint32_t on, std::u16string_view entry) {
    ASSERT_TRUE(test::Store(Setting::DialupConnect, on));
    ASSERT_TRUE(test::Store(Setting::DialupEntry, entry));
  }

  void BeginDial() {
    flow_->BeginDial(&mainWindow_, [this] { ++patrols_; });
    ASSERT_NE(Dialog(), nullptr);
  }
  DialDialog* Dialog() { return mainWindow_.findChild<DialDialog*>(); }
  QString Status(QWidget* dialog) {
    return dialog->findChild<QLabel*>(QStringLiteral("statusLabel"))->text();
  }
  QPushButton* Cancel(QWidget* dialog) {
    return dialog->findChild<QPushButton*>(QStringLiteral("cancelButton"));
  }
  // Waits until the dial dialog is gone, and for anything it posted.
  bool DialOver() {
    return WaitFor([this] { return Dialog() == nullptr; }) &&
           WaitFor([this] { return mainWindow_.isEnabled(); });
  }
  void ConnectDial() {
    BeginDial();
    fake_->Emit(DialState::Connected);
    ASSERT_TRUE(WaitFor([this] { return patrols_ == 1; }));
  }

  QApplication& app_ = test::QtTestApp();  // before any widget
  test::ProgramHome home_;
  DialupTimings timings_{std::chrono::milliseconds(1), std::chrono::milliseconds(1),
                         std::chrono::milliseconds(1), 3};
  QWidget mainWindow_;
  FakeRemoteAccess* fake_ = nullptr;
  std::unique_ptr<ServiceDialupFlow> flow_;
  int patrols_ = 0;
};

TEST_F(DialupDialogsTest, ADialThatConnectsRunsThePatrolAndIsHungUpAfterIt) {
  ASSERT_TRUE(flow_->ShouldDial());
  BeginDial();
  DialDialog* dialog = Dialog();
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral(u"Officeに接続中..."));
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(dialog->isEnabled());
  EXPECT_FALSE(dialog->isModal());
  EXPECT_FALSE(mainWindow_.isEnabled());
  EXPECT_EQ(Status(dialog), QString());
  EXPECT_EQ(fake_->Dialed, QStringList{QStringLiteral("Office")});

  const struct {
    DialState state;
    const char16_t* status;
  } kEvents[] = {
      {DialState::OpenPort, u"ﾎﾟｰﾄを開きます."},
      {DialState::PortOpened, u"ﾎﾟｰﾄを開きました."},
      {DialState::ConnectDevice, u"ﾃﾞﾊﾞｲｽに接続します."},
      {DialState::DeviceConnected, u"ﾃﾞﾊﾞｲｽに接続しました."},
      {DialState::Authenticate, u"認証します."},
      {DialState::Authenticated, u"認証が完了しました."},
      {DialState::Connected, u"接続しました."},
  };
  for (const auto& event : kEvents) {
    SCOPED_TRACE(QString::fromUtf16(event.status).toStdString());
    fake_->Emit(event.state);
    EXPECT_EQ(Status(dialog), QString::fromUtf16(event.status));
  }
  // Connected: Cancel goes, and the patrol waits for the short pause.
  EXPECT_FALSE(Cancel(dialog)->isEnabled());
  EXPECT_EQ(patrols_, 0);
  ASSERT_TRUE(DialOver());
  EXPECT_EQ(patrols_, 1);

  // A line of another entry is up as well; only ours is taken down.
  fake_->Active.append(ActiveConnection{QStringLiteral("vpn"), QStringLiteral("Other VPN")});
  flow_->HangUpIfDialed(&mainWindow_);
  EXPECT_EQ(fake_->HungUp, QStringList{fake_->LastDial()});
  flow_->HangUpIfDialed(&mainWindow_);
  EXPECT_EQ(fake_->HungUp.size(), 1) << "the line is hung up only once";
}

TEST_F(DialupDialogsTest, ADialThatFailsShowsOneErrorBoxAndRunsNoPatrol) {
  BeginDial();
  fake_->Emit(DialState::Disconnected);
  fake_->Emit(DialState::Disconnected);  // a late second event changes nothing
  const QList<QMessageBox*> boxes = mainWindow_.findChildren<QMessageBox*>();
  ASSERT_EQ(boxes.size(), 1);
  QMessageBox* box = boxes.front();
  EXPECT_EQ(box->text(), QStringLiteral(u"接続できませんでした."));
  EXPECT_EQ(box->windowTitle(), QStringLiteral(u"接続ｴﾗｰ"));
  EXPECT_EQ(box->icon(), QMessageBox::Warning);
  EXPECT_TRUE(box->isEnabled());
  EXPECT_FALSE(Dialog()->isVisible());
  EXPECT_TRUE(fake_->HungUp.isEmpty()) << "the line is hung up once the box is closed";

  box->button(QMessageBox::Ok)->click();
  ASSERT_TRUE(DialOver());
  EXPECT_EQ(fake_->HungUp, QStringList{fake_->LastDial()});
  flow_->HangUpIfDialed(&mainWindow_);
  EXPECT_EQ(fake_->HungUp.size(), 1);
  EXPECT_EQ(patrols_, 0);
}

TEST_F(DialupDialogsTest, CancelWhileDialingHangsUpWithoutABox) {
  BeginDial();
  fake_->Emit(DialState::Authenticate);
  Cancel(Dialog())->click();
  ASSERT_TRUE(DialOver());
  EXPECT_EQ(fake_->HungUp, QStringList{fake_->LastDial()});
  EXPECT_EQ(mainWindow_.findChild<QMessageBox*>(), nullptr);
  EXPECT_EQ(patrols_, 0);
}

TEST_F(DialupDialogsTest, DialsOnlyWhenDialupIsOnAndNoLineIsUp) {
  const struct {
    const char* name;
    uint32_t on;
    bool available;
    bool lineUp;
    bool dials;
  } kCases[] = {
      {"on, nothing up", 1, true, false, true},
      {"off", 0, true, false, false},
      {"on, a line already up", 1, true, true, false},
      {"on, service absent", 1, false, false, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    SetDialup(c.on, u"Office");
    fake_->Available = c.available;
    fake_->Active.clear();
    if (c.lineUp) {
      fake_->Active.append(ActiveConnection{QStringLiteral("up"), QStringLiteral("Office")});
    }
    EXPECT_EQ(flow_->ShouldDial(), c.dials);
  }
  // A line that was up before the patrol is never hung up.
  flow_->HangUpIfDialed(&mainWindow_);
  EXPECT_TRUE(fake_->HungUp.isEmpty());
}

TEST_F(DialupDialogsTest, CancelInTheHangUpsFirstSecondLeavesTheLineUp) {
  timings_.HangUpFirstWait = std::chrono::hours(1);
  MakeFlow();
  ConnectDial();
  QTimer::singleShot(0, [this] {
    auto* dialog = qobject_cast<HangUpDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral(u"切断中..."));
    EXPECT_EQ(Status(dialog), QStringLiteral(u"切断します."));
    Cancel(dialog)->click();
  });
  flow_->HangUpIfDialed(&mainWindow_);
  EXPECT_TRUE(fake_->HungUp.isEmpty());
  EXPECT_FALSE(flow_->ShouldDial()) << "the line is still up";
}

TEST_F(DialupDialogsTest, ALineThatStaysUpEndsTheHangUpAfterTheLastPoll) {
  ConnectDial();
  fake_->DropOnHangUp = false;
  BoxCloser boxes;
  flow_->HangUpIfDialed(&mainWindow_);
  // The dialed handle once, then the listed line at each of the three polls.
  EXPECT_EQ(fake_->HungUp.size(), 1 + timings_.HangUpMaxPolls);
  EXPECT_EQ(boxes.texts,
            QStringList{QStringLiteral(u"切断ｴﾗｰ|切断できませんでした. 接続はまだ続いています.")});
}

}  // namespace
}  // namespace kivo
