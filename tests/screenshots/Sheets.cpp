// Draws every page of the sheets "URLの設定" and "ｵﾌﾟｼｮﾝ", and the dialog
// "URL入力", into PNG files in the folder named by the only argument.
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <memory>

#include "common/ProgramHome.h"
#include "dialup/EntryListing.h"
#include "ui/OptionsSheet.h"
#include "ui/ServerInputDialog.h"
#include "ui/UrlEntrySheet.h"
#include "urllist/RegKey.h"
#include "urllist/Settings.h"
#include "urllist/UrlEntry.h"

namespace kivo {
namespace {

bool Save(QWidget& window, const QDir& folder, const QString& name) {
  window.show();
  QApplication::processEvents();
  const QString path = folder.filePath(name);
  if (!window.grab().save(path)) {
    std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

bool DrawEntrySheet(const QDir& folder) {
  UrlEntry entry;
  entry.Name.Assign(u"Kivoのお知らせ");
  entry.Url.Assign(u"http://www.example.jp/news/index.html");
  entry.LinkLevel = 1;
  entry.Servers.Add(std::make_unique<WideString>(u"http://www.example.jp/"));
  entry.Servers.Add(std::make_unique<WideString>(u"http://images.example.jp/"));
  entry.UseOwnFolder = 1;
  entry.OwnFolder.Assign(u"/home/user/Kivo/news/");
  UrlEntrySheet sheet(entry, nullptr);
  const char* const names[] = {"url", "download", "link", "save"};
  bool ok = true;
  for (int page = 0; page < 4; ++page) {
    sheet.ShowPage(page);
    ok &= Save(sheet, folder, QStringLiteral("url-entry-%1-%2.png").arg(page + 1).arg(names[page]));
  }
  ServerInputDialog server(QStringLiteral("http://images.example.jp/"), nullptr);
  ok &= Save(server, folder, QStringLiteral("url-entry-server-input.png"));
  return ok;
}

bool DrawOptionsSheet(const QDir& folder) {
  {
    RegKey key;
    key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath);
    WriteDwordSetting(key, Setting::DialupConnect, 1);
    WriteStringSetting(key, Setting::DialupEntry, u"自宅");
    WriteDwordSetting(key, Setting::UseProxy, 1);
    WriteStringSetting(key, Setting::ProxyName, u"proxy.example.jp:8080");
    WriteDwordSetting(key, Setting::ConnectTimeout, 30);
    WriteDwordSetting(key, Setting::ReceiveTimeout, 60);
    WriteStringSetting(key, Setting::SaveFolder, u"/home/user/Kivo/pages/");
  }
  OptionsSheet sheet(EntryListing::Known({QStringLiteral("会社"), QStringLiteral("自宅"),
                                          QStringLiteral("`Direct")}),
                     nullptr);
  const char* const names[] = {"connection", "timeouts", "save", "notify"};
  bool ok = true;
  for (int page = 0; page < 4; ++page) {
    sheet.ShowPage(page);
    ok &= Save(sheet, folder, QStringLiteral("options-%1-%2.png").arg(page + 1).arg(names[page]));
  }
  return ok;
}

}  // namespace
}  // namespace kivo

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  // The pictures must not show the settings of whoever draws them.
  kivo::test::ProgramHome home;
  QApplication app(argc, argv);
  QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 10));
  QTranslator qtTexts;
  if (qtTexts.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTexts);
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  const bool ok = kivo::DrawEntrySheet(folder) && kivo::DrawOptionsSheet(folder);
  return ok ? 0 : 1;
}
