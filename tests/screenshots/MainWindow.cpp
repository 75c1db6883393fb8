// Renders the main window with a sample list, the About box and the patrol
// progress dialog in the middle of a patrol into PNG files in the folder
// named by the only argument.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>
#include <cstdio>
#include <string>

#include "common/ProgramHome.h"
#include "dialup/DialupFlow.h"
#include "patrol/PatrolList.h"
#include "ui/AboutBox.h"
#include "ui/GuiApp.h"
#include "ui/MainWindow.h"
#include "ui/PatrolDialog.h"
#include "urllist/UrlListFile.h"

namespace kivo {
namespace {

struct SampleEntry {
  std::u16string_view Name;
  std::u16string_view Url;
  int32_t LinkLevel;
  int32_t Status;
  SystemTime LastTime;  // Year 0: never fetched
};

// Every state icon, a title too long for its column and a row never fetched.
constexpr SampleEntry kSamples[] = {
    {u"ｵｽﾄﾚﾙ ﾆｭｰｽ", u"http://news.example.co.jp/", 1, 1, {2026, 12, 1, 7, 8, 15, 0, 0}},
    {u"天気予報 (東京)", u"http://weather.example.jp/tokyo/", 0, 2, {2026, 12, 0, 6, 21, 40, 0, 0}},
    {u"ﾓﾊﾞｲﾙ機器の話題をまとめた技術ﾌﾞﾛｸﾞ ― 新製品・ｿﾌﾄｳｪｱ更新・使いこなし情報の総合ﾍﾟｰｼﾞ",
     u"http://blog.example.com/mobile/index.html",
     2,
     1,
     {2026, 11, 6, 28, 23, 5, 0, 0}},
    {u"鉄道運行情報", u"http://train.example.jp/status/", 0, 2, {2026, 12, 0, 6, 5, 12, 0, 0}},
    {u"新しく登録したﾍﾟｰｼﾞ", u"http://www.example.org/new/", 0, 0, {}},
};

void WriteSampleList() {
  UrlList list;
  for (const SampleEntry& sample : kSamples) {
    auto entry = std::make_unique<UrlEntry>();
    entry->Name.Assign(sample.Name);
    entry->Url.Assign(sample.Url);
    entry->LinkLevel = sample.LinkLevel;
    entry->Status = sample.Status;
    entry->HasLastTime = sample.LastTime.Year != 0 ? 1 : 0;
    entry->LastTime = sample.LastTime;
    list.Add(std::move(entry));
  }
  UrlListFile::InProgramFolder().Save(list);
}

// Lets layouts, icons and timers settle before a picture is taken.
void Settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool Save(QWidget& widget, const QString& folder, const QString& name) {
  const QString path = folder + QLatin1Char('/') + name;
  if (!widget.grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

int Render(const QString& folder) {
  test::ProgramHome home;
  WriteSampleList();

  NoDialup dialup;
  MainWindow window(dialup);
  window.resize(700, 260);
  window.show();
  window.ListView()->selectionModel()->select(
      window.ListView()->model()->index(2, 0),
      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  Settle(300);
  bool ok = Save(window, folder, QStringLiteral("main-window.png"));

  AboutBox about(&window);
  about.show();
  Settle(200);
  ok = Save(about, folder, QStringLiteral("about-box.png")) && ok;
  about.hide();

  PatrolList patrolList;
  PatrolDialog patrol(patrolList, nullptr, &window);
  patrol.show();
  patrol.SetTitle(u"ｵｽﾄﾚﾙ ﾆｭｰｽ");
  patrol.SetUrl(u"http://news.example.co.jp/images/top-photo.jpg");
  patrol.SetState(PatrolState::Downloading);
  patrol.SetBytes(ByteCount{23552, 40960});
  patrol.SetPercent(57);
  Settle(200);
  patrol.Refresh();
  Settle(100);
  ok = Save(patrol, folder, QStringLiteral("patrol-dialog.png")) && ok;
  patrol.hide();
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace kivo

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  QTranslator translator;
  kivo::InstallQtTranslation(app, translator);
  return kivo::Render(QString::fromLocal8Bit(argv[1]));
}
