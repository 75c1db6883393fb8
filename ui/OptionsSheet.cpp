#include "ui/OptionsSheet.h"

#include "ui/ConnectionPage.h"
#include "ui/NotifyPage.h"
#include "ui/SaveFolderPage.h"
#include "ui/TimeoutPage.h"

namespace kivo {

OptionsSheet::OptionsSheet(const std::shared_ptr<EntryListing>& dialupEntries, QWidget* parent)
    : PropertySheet(QStringLiteral("ｵﾌﾟｼｮﾝ"), parent) {
  AddPage(QStringLiteral("接続"),
          [dialupEntries](QWidget* holder) { return new ConnectionPage(dialupEntries, holder); });
  AddPage(QStringLiteral("ﾀｲﾑｱｳﾄ"), [](QWidget* holder) { return new TimeoutPage(holder); });
  AddPage(QStringLiteral("保存"), [](QWidget* holder) { return new SaveFolderPage(holder); });
  AddPage(QStringLiteral("通知"), [](QWidget* holder) { return new NotifyPage(holder); });
}

void ShowOptionsSheet(QWidget* parent, const std::shared_ptr<EntryListing>& dialupEntries) {
  OptionsSheet sheet(dialupEntries, parent);
  sheet.exec();
}

}  // namespace kivo
