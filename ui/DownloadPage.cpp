#include "ui/DownloadPage.h"

#include <QCheckBox>
#include <QVBoxLayout>

#include "ui/SheetControls.h"
#include "urllist/UrlEntry.h"

namespace kivo {

DownloadPage::DownloadPage(UrlEntry& entry, QWidget* parent)
    : SheetPage(parent),
      entry_(entry),
      getImages_(new QCheckBox(QStringLiteral("画像もﾀﾞｳﾝﾛｰﾄﾞする(&I)"), this)) {
  NameControl(getImages_, "getImagesCheck", getImages_->text());
  getImages_->setChecked(entry.GetImages != 0);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(getImages_);
  layout->addStretch(1);
}

bool DownloadPage::Apply() {
  entry_.GetImages = getImages_->isChecked() ? 1 : 0;
  return true;
}

}  // namespace kivo
