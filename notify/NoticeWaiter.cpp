#include "notify/NoticeWaiter.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <charconv>
#include <chrono>
#include <vector>

#include "platform/UniqueFd.h"
#include "platform/Utf8.h"

extern char** environ;

namespace kivo {
namespace {

// The first argument of the process that shows a notice. It is no option a
// user gives; the process is this program started again by itself.
constexpr char kWaiterArgument[] = "--kivo-notice-waiter";
// What that process says on its standard output once it has tried.
constexpr std::string_view kShown = "shown\n";
constexpr std::string_view kNotShown = "none\n";
// The bus name that the process hearing clicks holds, so that only the
// newest notice of Kivo is heard: a later one takes the name over, and the
// earlier process takes its notice away and ends.
const QString kWaiterName = QStringLiteral("com.ostrel.Kivo.Notice");
// How often the process that hears clicks looks whether its bus is still there.
constexpr std::chrono::minutes kBusCheckInterval{1};

// posix_spawn's two descriptions, freed however the start goes.
struct SpawnSetup {
  SpawnSetup() {
    posix_spawn_file_actions_init(&Actions);
    posix_spawnattr_init(&Attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&Actions);
    posix_spawnattr_destroy(&Attributes);
  }
  posix_spawn_file_actions_t Actions;
  posix_spawnattr_t Attributes;
};

// Starts `args` with its standard output on `output`, in a session of its
// own so that the terminal's hang-up does not reach it, with the signals
// this program ignores or blocks (a broken pipe, Ctrl-C) back at default.
// It may wait for hours, so it keeps nothing of its starter's: no error
// output (a pipe it held would keep `kivo-cli patrol --notify 2>&1 | cat`
// from ending), no other descriptor (a lock file held would refuse the next
// scheduled run), and no working folder (which could not be unmounted).
bool Spawn(const std::vector<std::string>& args, int output) {
  SpawnSetup setup;
  posix_spawn_file_actions_adddup2(&setup.Actions, output, STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&setup.Actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&setup.Actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&setup.Actions, STDERR_FILENO + 1);
  posix_spawn_file_actions_addchdir_np(&setup.Actions, "/");
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) {
    sigaddset(&defaults, signal);
  }
  posix_spawnattr_setsigmask(&setup.Attributes, &none);
  posix_spawnattr_setsigdefault(&setup.Attributes, &defaults);
  posix_spawnattr_setflags(&setup.Attributes,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::vector<char*> argv;
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  pid_t pid = 0;
  return posix_spawn(&pid, args.front().c_str(), &setup.Actions, &setup.Attributes, argv.data(),
                     environ) == 0;
}

// Reads the one line that the started process answers with, waiting at
// most kNoticeAnswerMs in all.
std::string ReadAnswer(int input) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kNoticeAnswerMs);
  std::string answer;
  while (answer.find('\n') == std::string::npos && answer.size() < 64) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{input, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
      break;
    }
    char buffer[64];
    const ssize_t got = ::read(input, buffer, sizeof buffer);
    if (got <= 0) {
      break;
    }
    answer.append(buffer, static_cast<size_t>(got));
  }
  return answer;
}

std::optional<uint32_t> Number(std::string_view text) {
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

// The arguments after kWaiterArgument: the count, the others, the URL and
// the titles, as NotifyInBackground writes them.
std::optional<ChangeNotice> DecodeNotice(int argc, char** argv) {
  if (argc < 5) {
    return std::nullopt;
  }
  ChangeNotice notice;
  const std::optional<uint32_t> count = Number(argv[2]);
  const std::optional<uint32_t> others = Number(argv[3]);
  if (!count || !others) {
    return std::nullopt;
  }
  notice.Count = *count;
  notice.Others = *others;
  notice.Url = platform::Utf16FromUtf8(argv[4]);
  for (int i = 5; i < argc && notice.Titles.size() < kNoticeTitles; ++i) {
    notice.Titles.push_back(platform::Utf16FromUtf8(argv[i]));
  }
  return notice;
}

// The desktop program: beside this program's executable, as installed,
// or else on the PATH; empty when there is none, and then a notice offers
// no action that would do nothing.
QString DesktopProgram() {
  const QString beside =
      QFileInfo(QCoreApplication::applicationFilePath()).dir().filePath(QStringLiteral("kivo"));
  if (QFileInfo(beside).isExecutable()) {
    return beside;
  }
  return QStandardPaths::findExecutable(QStringLiteral("kivo"));
}

// Tells the starter whether the notice was shown and lets go of its pipe.
void Answer(bool shown) {
  const std::string_view answer = shown ? kShown : kNotShown;
  [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, answer.data(), answer.size());
  const platform::UniqueFd null(::open("/dev/null", O_WRONLY | O_CLOEXEC));
  if (null.IsValid()) {
    ::dup2(null.Get(), STDOUT_FILENO);
  }
}

// Hears clicks on the shown notice until it is clicked or closed, until a
// later notice's process takes kWaiterName over, or kNoticeWaitLimit.
int HearClicks(QCoreApplication& app, DesktopNotifier& notifier, const QString& program) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  QDBusServiceWatcher watcher(kWaiterName, bus, QDBusServiceWatcher::WatchForOwnerChange);
  const QString self = bus.baseService();
  QObject::connect(&watcher, &QDBusServiceWatcher::serviceOwnerChanged, &app,
                   [&](const QString&, const QString&, const QString& owner) {
                     if (owner != self) {
                       notifier.Close();
                       app.quit();
                     }
                   });
  bus.interface()->registerService(kWaiterName, QDBusConnectionInterface::ReplaceExistingService,
                                   QDBusConnectionInterface::AllowReplacement);
  QObject::connect(&notifier, &DesktopNotifier::historyRequested, &app,
                   [&program](const QString& url) {
                     QProcess::startDetached(program, {HistoryOptionFor(url)});
                   });
  QObject::connect(&notifier, &DesktopNotifier::finished, &app, &QCoreApplication::quit);
  QTimer::singleShot(kNoticeWaitLimit, &app, &QCoreApplication::quit);
  // A session that ended takes its bus along, and no click can come any more.
  QTimer busCheck;
  QObject::connect(&busCheck, &QTimer::timeout, &app, [&bus, &app] {
    if (!bus.isConnected()) {
      app.quit();
    }
  });
  busCheck.start(kBusCheckInterval);
  return app.exec();
}

}  // namespace

QString HistoryOptionFor(const QString& url) {
  return QLatin1String(kHistoryOption) + QString::fromLatin1(QUrl::toPercentEncoding(url));
}

std::optional<QString> HistoryUrlFromOption(const QString& argument) {
  if (!argument.startsWith(QLatin1String(kHistoryOption))) {
    return std::nullopt;
  }
  return QUrl::fromPercentEncoding(argument.mid(qsizetype(sizeof kHistoryOption) - 1).toLatin1());
}

bool NotifyInBackground(const ChangeNotice& notice, const std::string& program) {
  if (notice.IsEmpty() || program.empty()) {
    return false;
  }
  std::vector<std::string> args = {program, kWaiterArgument, std::to_string(notice.Count),
                                   std::to_string(notice.Others),
                                   platform::Utf8FromUtf16(notice.Url)};
  for (const std::u16string& title : notice.Titles) {
    args.push_back(platform::Utf8FromUtf16(title));
  }
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    return false;
  }
  const platform::UniqueFd input(ends[0]);
  platform::UniqueFd output(ends[1]);
  if (!Spawn(args, output.Get())) {
    return false;
  }
  // Only the started process holds the pipe's other end now, so its end,
  // however it comes, ends the read.
  output.Reset();
  return ReadAnswer(input.Get()) == kShown;
}

std::optional<int> RunNoticeWaiter(int argc, char** argv) {
  if (argc < 2 || std::string_view(argv[1]) != kWaiterArgument) {
    return std::nullopt;
  }
  const std::optional<ChangeNotice> notice = DecodeNotice(argc, argv);
  QCoreApplication app(argc, argv);
  DesktopNotifier notifier(QDBusConnection::sessionBus());
  const QString program = DesktopProgram();
  const bool shown = notice && notifier.Show(*notice, program.isEmpty() ? HistoryAction::None
                                                                        : HistoryAction::Offer);
  Answer(shown);
  if (!notifier.Waiting()) {
    return notice ? 0 : 2;
  }
  return HearClicks(app, notifier, program);
}

}  // namespace kivo
