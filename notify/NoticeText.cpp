#include "notify/NoticeText.h"

#include <QStringList>

namespace kivo {

QString NoticeSummary(const ChangeNotice& notice) {
  return QStringLiteral("%1件のﾍﾟｰｼﾞが更新されました").arg(notice.Count);
}

QString NoticeBody(const ChangeNotice& notice, BodyMarkup markup) {
  QStringList lines;
  for (const std::u16string& title : notice.Titles) {
    QString line = QString::fromStdU16String(title);
    for (QChar& ch : line) {
      if (ch.unicode() < 0x20 || (ch.unicode() >= 0x7F && ch.unicode() <= 0x9F)) {
        ch = QLatin1Char(' ');
      }
    }
    lines.append(markup == BodyMarkup::Markup ? line.toHtmlEscaped() : line);
  }
  if (notice.Others > 0) {
    lines.append(QStringLiteral("ほか%1件").arg(notice.Others));
  }
  return lines.join(QLatin1Char('\n'));
}

QString HistoryActionLabel() {
  return QStringLiteral("履歴を表示");
}

}  // namespace kivo
