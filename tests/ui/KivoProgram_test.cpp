// Runs the kivo program as a user or a scheduler would, offscreen, with its
// own program folder and settings.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>

#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "SanitizerOptions.h"
#include "common/ProgramHome.h"
#include "common/QtTestApp.h"
#include "common/StoredSettings.h"
#include "httpserver/TestHttpServer.h"
#include "notify/NoticeWaiter.h"
#include "platform/InstanceLock.h"
#include "platform/ProgramFolder.h"
#include "platform/UniqueFd.h"
#include "platform/Utf8.h"
#include "ui/InstanceServer.h"
#include "urllist/Settings.h"
#include "urllist/UrlListFile.h"

namespace kivo {
namespace {

constexpr int kFinishMs = 120000;

class KivoProgramTest : public testing::Test {
 protected:
  void SetUp() override {
    test::QtTestApp();
    ASSERT_TRUE(server_.IsListening());
    test::WriteBytes(home_.File("lsan.supp"), test::kLeakSuppressions);
    test::WriteBytes(home_.File("tsan.supp"), test::kThreadSuppressions);
  }

  // Starts kivo with `arguments` in the test's program folder and settings.
  std::unique_ptr<QProcess> Start(const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // A patrol's notice must not reach the desktop of whoever runs the tests.
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=/nonexistent/bus"));
    environment.insert(QStringLiteral("LSAN_OPTIONS"),
                       QString::fromStdString("suppressions=" + home_.File("lsan.supp")));
    environment.insert(
        QStringLiteral("TSAN_OPTIONS"),
        QString::fromStdString("halt_on_error=1 suppressions=" + home_.File("tsan.supp")));
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->start(QStringLiteral(KIVO_GUI_PATH), arguments);
    EXPECT_TRUE(process->waitForStarted());
    return process;
  }

  // Waits for `process` while this thread serves its own events.
  static void WaitForEnd(QProcess& process) {
    QSignalSpy finished(&process, &QProcess::finished);
    if (process.state() != QProcess::NotRunning) {
      ASSERT_TRUE(finished.wait(kFinishMs));
    }
  }

  // One entry for the server's /page.html.
  void WriteList() {
    UrlList list;
    auto entry = std::make_unique<UrlEntry>();
    entry->Name.Assign(u"page");
    entry->Url.Assign(server_.WideUrl("/page.html"));
    list.Add(std::move(entry));
    ASSERT_TRUE(ListFile().Save(list));
  }

  static UrlListFile ListFile() { return UrlListFile::InProgramFolder(); }
  static std::string ListBytes() {
    return test::ReadBytes(platform::Utf8FromUtf16(ListFile().Path()));
  }

  test::ProgramHome home_;
  test::TestHttpServer server_;
};

TEST_F(KivoProgramTest, PatrolsSavesAndExitsWithPQ) {
  test::ScriptedResponse page = test::ScriptedResponse::Ok("<html><body>news</body></html>");
  page.Headers = {{"Last-Modified", "Sat, 05 Dec 2026 10:30:00 GMT"}};
  server_.Script("/page.html", page);
  ASSERT_TRUE(test::Store(Setting::SaveFolder, test::U16(home_.File("out") + "/")));
  std::filesystem::create_directories(home_.File("out"));
  WriteList();

  std::unique_ptr<QProcess> kivo = Start({QStringLiteral("/q"), QStringLiteral("/P")});
  WaitForEnd(*kivo);
  EXPECT_EQ(kivo->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(kivo->exitCode(), 0) << kivo->readAllStandardError().toStdString();

  UrlList list;
  ASSERT_TRUE(ListFile().Load(list));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0]->Status, 1);
  EXPECT_EQ(list[0]->HasLastTime, 1);
  EXPECT_EQ(list[0]->LastTime.Minute, 30);
  EXPECT_EQ(test::ReadBytes(platform::Utf8FromUtf16(list[0]->LocalFile.View())),
            "<html><body>news</body></html>");
}

// An unattended run must end by itself: its stop messages go to stderr, not
// to a box that nobody is there to answer.
TEST_F(KivoProgramTest, UnattendedStopMessagesGoToStandardError) {
  ASSERT_TRUE(test::Store(Setting::SaveFolder, test::U16(home_.File("missing") + "/")));
  WriteList();
  std::unique_ptr<QProcess> kivo = Start({QStringLiteral("/P"), QStringLiteral("/Q")});
  WaitForEnd(*kivo);
  EXPECT_EQ(kivo->exitCode(), 0);
  EXPECT_THAT(kivo->readAllStandardError().toStdString(),
              testing::HasSubstr("にﾌｧｲﾙを保存できません"));
}

// Marks the file at `path` immutable, which even root cannot replace, or
// clears the mark; false where the file system has no such mark.
bool SetImmutable(const std::string& path, bool on) {
  const platform::UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  int flags = 0;
  const bool read = ::ioctl(file.Get(), FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  return read && ::ioctl(file.Get(), FS_IOC_SETFLAGS, &flags) == 0;
}

// An unattended run whose list cannot be saved at the end says so by its
// exit status, since nobody reads its error output.
TEST_F(KivoProgramTest, AListNotSavedAtTheEndIsExitStatusTwo) {
  server_.Script("/page.html", test::ScriptedResponse::Ok("<p>news</p>"));
  WriteList();
  const std::string path = platform::Utf8FromUtf16(ListFile().Path());
  if (!SetImmutable(path, true)) {
    GTEST_SKIP() << "this file system or user cannot make a file immutable";
  }
  std::unique_ptr<QProcess> kivo = Start({QStringLiteral("/P"), QStringLiteral("/Q")});
  WaitForEnd(*kivo);
  SetImmutable(path, false);
  EXPECT_EQ(kivo->exitCode(), 2);
  EXPECT_THAT(kivo->readAllStandardError().toStdString(),
              testing::HasSubstr("を保存できませんでした"));
}

// The refusal names the holder; ClaimProgramFolder's test has the starts
// that meet a copy only about to listen.
TEST_F(KivoProgramTest, ASecondStartOnlyRaisesTheFirstOrIsRefusedBesideKivoCli) {
  struct Case {
    const char* Name;
    platform::LockHolder Holder;  // a running kivo listens; kivo-cli only holds the lock
    QString History;              // the history a click on a notice asks for
    int ExitCode;
    int Raises;
    const char* Error;
  };
  const Case cases[] = {
      {"kivo is running", platform::LockHolder::Kivo, "", 0, 1, ""},
      {"kivo is asked for a history", platform::LockHolder::Kivo, "http://h/a?b=/P", 0, 1, ""},
      {"kivo-cli is running", platform::LockHolder::KivoCli, "", 1, 0,
       "kivo: kivo-cli がﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteList();
    const std::string before = ListBytes();
    std::unique_ptr<platform::InstanceLock> lock = platform::InstanceLock::TryAcquire(c.Holder);
    ASSERT_NE(lock, nullptr);
    InstanceServer first;
    QSignalSpy raises(&first, &InstanceServer::activationRequested);
    QSignalSpy histories(&first, &InstanceServer::historyRequested);
    if (c.Holder == platform::LockHolder::Kivo) {
      ASSERT_TRUE(first.Listen(InstanceServerName(platform::ProgramFolder())));
    }
    // Options given to a second start are not passed on, but for the
    // history it asks for: no patrol runs.
    QStringList args = {QStringLiteral("/P"), QStringLiteral("/Q")};
    if (!c.History.isEmpty()) {
      args.append(HistoryOptionFor(c.History));
    }
    std::unique_ptr<QProcess> kivo = Start(args);
    WaitForEnd(*kivo);
    EXPECT_EQ(kivo->exitCode(), c.ExitCode);
    EXPECT_THAT(kivo->readAllStandardError().toStdString(), testing::HasSubstr(c.Error));
    EXPECT_EQ(raises.count(), c.Raises);
    ASSERT_EQ(histories.count(), c.History.isEmpty() ? 0 : 1);
    if (!c.History.isEmpty()) {
      EXPECT_EQ(histories[0][0].toString(), c.History);
    }
    EXPECT_EQ(server_.RequestCount(), 0u);
    EXPECT_EQ(ListBytes(), before);
  }
}

TEST_F(KivoProgramTest, SignalsCloseTheWindowTheOrderlyWay) {
  for (int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    std::filesystem::remove_all(home_.File("config"));
    WriteList();
    std::unique_ptr<QProcess> kivo = Start({});
    // The program answers on its socket once its window is up.
    const QString name = InstanceServerName(platform::ProgramFolder());
    while (kivo->state() == QProcess::Running && !RaiseRunningInstance(name)) {
      QTest::qWait(50);
    }
    ::kill(static_cast<pid_t>(kivo->processId()), signal);
    WaitForEnd(*kivo);
    EXPECT_EQ(kivo->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(kivo->exitCode(), 0);
    UrlList list;
    EXPECT_TRUE(ListFile().Load(list));
    EXPECT_EQ(list.Count(), 1);
    // Nobody touched the window, so its close wrote no layout value.
    EXPECT_FALSE(std::filesystem::exists(home_.File("config/kivo/settings.reg")));
  }
}

}  // namespace
}  // namespace kivo
