#include "ui/PropertySheet.h"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <vector>

#include "platform/SettingsStore.h"
#include "ui/GuiMessages.h"
#include "ui/SheetControls.h"
#include "ui/SheetPage.h"

namespace kivo {

PropertySheet::PropertySheet(const QString& caption, QWidget* parent)
    : QDialog(parent), tabs_(new QTabWidget(this)) {
  setWindowTitle(caption);
  setModal(true);
  NameControl(tabs_, "pages", caption);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  cancel_ = buttons->button(QDialogButtonBox::Cancel);
  NameControl(ok_, "okButton", ok_->text());
  NameControl(cancel_, "cancelButton", cancel_->text());
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
    if (slot.Page != nullptr && !slot.Page->Check()) {
      tabs_->setCurrentWidget(slot.Holder);
      return;
    }
  }
  bool stored = true;
  for (const PageSlot& slot : pages_) {
    if (slot.Page != nullptr) {
      stored = slot.Page->Apply() && stored;
    }
  }
  if (!stored) {
    // The sheet stays open, so that the user can try again or give up.
    QMessageBox box(QMessageBox::Warning, windowTitle(),
                    SettingsNotSavedText(platform::SettingsFilePath()), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("settingsNotSavedBox"));
    box.exec();
    return;
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
  PutBeforeButtons(slot.Page);
}

void PropertySheet::PutBeforeButtons(QWidget* page) {
  // A page is made after the buttons, so its fields would follow them in the
  // tab order; each page's fields are moved in front of them instead.
  std::vector<QWidget*> stops;
  for (QWidget* widget = page->nextInFocusChain(); widget != page;
       widget = widget->nextInFocusChain()) {
    if (page->isAncestorOf(widget) && (widget->focusPolicy() & Qt::TabFocus) != 0) {
      stops.push_back(widget);
    }
  }
  if (stops.empty()) {
    return;
  }
  QWidget::setTabOrder(stops.back(), ok_);
  QWidget::setTabOrder(ok_, cancel_);
  // The first page is made before the sheet is shown, and its first field
  // that can be used then takes the focus that the tab bar would otherwise
  // take.
  if (isVisible()) {
    return;
  }
  for (QWidget* stop : stops) {
    if (stop->isEnabled()) {
      stop->setFocus();
      return;
    }
  }
}

}  // namespace kivo
