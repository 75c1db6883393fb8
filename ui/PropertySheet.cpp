#include "ui/PropertySheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/SheetControls.h"
#include "ui/SheetPage.h"

namespace kivo {

PropertySheet::PropertySheet(const QString& caption, QWidget* parent)
    : QDialog(parent), tabs_(new QTabWidget(this)) {
  setWindowTitle(caption);
  setModal(true);
  NameControl(tabs_, "pages", caption);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
  NameControl(ok, "okButton", ok->text());
  NameControl(cancel, "cancelButton", cancel->text());
  connect(buttons, &QDialogButtonBox::accepted, this, &PropertySheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &PropertySheet::reject);
  connect(tabs_, &QTabWidget::currentChanged, this, &PropertySheet::MakePage);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
  setMinimumSize(440, 320);
}

void PropertySheet::AddPage(const QString& title, PageMaker maker) {
  auto* holder = new QWidget(tabs_);
  auto* layout = new QVBoxLayout(holder);
  layout->setContentsMargins(0, 0, 0, 0);
  pages_.push_back(PageSlot{holder, std::move(maker), nullptr});
  // Adding the first tab makes it current, which makes its page.
  tabs_->addTab(holder, title);
}

void PropertySheet::ShowPage(int index) {
  tabs_->setCurrentIndex(index);
  MakePage(index);
}

SheetPage* PropertySheet::MadePage(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= pages_.size()) {
    return nullptr;
  }
  return pages_[static_cast<size_t>(index)].Page;
}

void PropertySheet::accept() {
  for (const PageSlot& slot : pages_) {
    if (slot.Page != nullptr) {
      slot.Page->Apply();
    }
  }
  QDialog::accept();
}

void PropertySheet::MakePage(int index) {
  if (index < 0 || static_cast<size_t>(index) >= pages_.size()) {
    return;
  }
  PageSlot& slot = pages_[static_cast<size_t>(index)];
  if (slot.Page != nullptr) {
    return;
  }
  slot.Page = slot.Maker(slot.Holder);
  slot.Holder->layout()->addWidget(slot.Page);
}

}  // namespace kivo
