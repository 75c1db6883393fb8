// Draws the history window of an entry whose page changed, with the diff of
// its newest change, into a PNG file in the folder named by the only
// argument.
#include <QApplication>
#include <QFont>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/ProgramHome.h"
#include "common/SampleHistory.h"
#include "ui/GuiApp.h"
#include "ui/HistoryWindow.h"

namespace kivo {
namespace {

// A weather page before and after a forecast was revised: one day's
// weather and temperatures changed, a warning came, the issue time moved.
constexpr const char* kDays[] = {
    "<title>天気予報 (東京)</title><h1>東京の天気</h1><p>12月7日(月) 晴れ 最高12℃ 最低3℃</p>"
    "<p>12月8日(火) くもり 最高10℃ 最低4℃</p><p>12月9日(水) 雨 最高8℃ 最低5℃</p>"
    "<p>発表: 12月7日 5時</p>",
    "<title>天気予報 (東京)</title><h1>東京の天気</h1><p>12月7日(月) 晴れ 最高12℃ 最低3℃</p>"
    "<p>12月8日(火) 晴れ時々くもり 最高13℃ 最低4℃</p><p>12月9日(水) 雨 最高8℃ 最低5℃</p>"
    "<p>強風注意報が出ています。</p><p>発表: 12月7日 17時</p>",
};

int Render(const QString& folder) {
  test::ProgramHome home;
  const std::string prog = home.Program() + "/";
  std::filesystem::create_directories(prog);
  const std::string url = "http://weather.example.jp/tokyo/";
  const auto stored = [&](int64_t at, const std::string& name, const char* text,
                          const std::string& follows) {
    test::WriteBytes(prog + name, text);
    HistoryCheck check = test::Check(at, url, CheckOutcome::Stored, prog + name,
                                     follows.empty() ? "" : prog + follows);
    check.StoredSize = std::string(text).size();
    return check;
  };
  const int64_t morning = test::kNow - 13 * 3600 * 1000;  // 06:15 in Tokyo
  HistoryCheck failed =
      test::Check(morning + test::kDay / 2, url, CheckOutcome::Failed, {}, prog + "tokyo.html");
  failed.Failure = CheckFailure::ReceiveTimeout;
  test::WriteHistory({
      {stored(morning - test::kDay, "tokyo.html", kDays[0], "")},
      {test::Check(morning, url, CheckOutcome::NotModified, {}, prog + "tokyo.html")},
      {failed},
      {stored(morning + test::kDay, "tokyoA.html", kDays[1], "tokyo.html")},
      {test::Check(morning + test::kDay * 3 / 2, url, CheckOutcome::SameContent, {},
                   prog + "tokyoA.html")},
  });
  UrlEntry entry;
  entry.Name.Assign(u"天気予報 (東京)");
  entry.Url.Assign(test::U16(url));
  entry.LocalFile.Assign(test::U16(prog + "tokyoA.html"));
  HistoryWindow window(entry, nullptr, nullptr);
  window.resize(620, 540);
  window.show();
  QApplication::processEvents();
  const QString path = folder + QStringLiteral("/history-window.png");
  if (!window.grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return 1;
  }
  std::printf("%s\n", qPrintable(path));
  return 0;
}

}  // namespace
}  // namespace kivo

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  // The pages are written in UTF-8 here, and the times shown as in Japan.
  ::setenv("KIVO_CODEPAGE", "UTF-8", 1);
  ::setenv("TZ", "Asia/Tokyo", 1);
  QApplication app(argc, argv);
  QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 10));
  QTranslator translator;
  kivo::InstallQtTranslation(app, translator);
  return kivo::Render(QString::fromLocal8Bit(argv[1]));
}
