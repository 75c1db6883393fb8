#include "ui/UrlEntrySheet.h"

#include "ui/DownloadPage.h"
#include "ui/EntrySavePage.h"
#include "ui/LinkPage.h"
#include "ui/UrlPage.h"
#include "urllist/UrlEntry.h"

namespace kivo {

UrlEntrySheet::UrlEntrySheet(UrlEntry& entry, QWidget* parent)
    : PropertySheet(QStringLiteral("URLの設定"), parent) {
  AddPage(QStringLiteral("URL"), [&entry](QWidget* holder) { return new UrlPage(entry, holder); });
  AddPage(QStringLiteral("ﾀﾞｳﾝﾛｰﾄﾞ"),
          [&entry](QWidget* holder) { return new DownloadPage(entry, holder); });
  AddPage(QStringLiteral("ﾘﾝｸ"), [&entry](QWidget* holder) { return new LinkPage(entry, holder); });
  AddPage(QStringLiteral("保存"),
          [&entry](QWidget* holder) { return new EntrySavePage(entry, holder); });
}

bool EditUrlEntry(QWidget* parent, UrlEntry& entry) {
  UrlEntrySheet sheet(entry, parent);
  return sheet.exec() == QDialog::Accepted;
}

}  // namespace kivo
