#include "ui/LinkPage.h"

#include <QGridLayout>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <memory>

#include "ui/ServerInputDialog.h"
#include "ui/SheetControls.h"
#include "urllist/UrlEntry.h"

namespace kivo {

LinkPage::LinkPage(UrlEntry& entry, QWidget* parent)
    : SheetPage(parent),
      entry_(entry),
      allLinks_(new QRadioButton(QStringLiteral("すべてのﾘﾝｸを追う(&A)"), this)),
      listedServers_(new QRadioButton(QStringLiteral("指定したｻｰﾊﾞのﾘﾝｸのみを追う(&S)"), this)),
      servers_(new QListWidget(this)),
      add_(new QPushButton(QStringLiteral("追加(&A)"), this)),
      change_(new QPushButton(QStringLiteral("変更(&E)"), this)),
      delete_(new QPushButton(QStringLiteral("削除(&D)"), this)) {
  NameControl(allLinks_, "allLinksRadio", allLinks_->text());
  NameControl(listedServers_, "listedServersRadio", listedServers_->text());
  NameControl(servers_, "serverList", QStringLiteral("ｻｰﾊﾞ"));
  NameControl(add_, "addServerButton", add_->text());
  NameControl(change_, "changeServerButton", change_->text());
  NameControl(delete_, "deleteServerButton", delete_->text());
  // Each click toggles a line, as a tap does on a touch screen.
  servers_->setSelectionMode(QAbstractItemView::MultiSelection);

  (entry.OnlyListedServers != 0 ? listedServers_ : allLinks_)->setChecked(true);
  for (const WideString* server : entry.Servers) {
    servers_->addItem(ToQString(server->View()));
  }

  connect(allLinks_, &QRadioButton::toggled, this, &LinkPage::UpdateButtons);
  connect(servers_, &QListWidget::itemSelectionChanged, this, &LinkPage::UpdateButtons);
  connect(add_, &QPushButton::clicked, this, &LinkPage::AddServer);
  connect(change_, &QPushButton::clicked, this, &LinkPage::ChangeFirstSelected);
  connect(delete_, &QPushButton::clicked, this, &LinkPage::DeleteSelected);
  // A double click edits the line that was double-clicked, whatever else is
  // selected.
  connect(servers_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { ChangeServer(servers_->row(item)); });

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(add_);
  buttons->addWidget(change_);
  buttons->addWidget(delete_);
  buttons->addStretch(1);
  auto* layout = new QGridLayout(this);
  layout->addWidget(allLinks_, 0, 0, 1, 2);
  layout->addWidget(listedServers_, 1, 0, 1, 2);
  layout->addWidget(servers_, 2, 0);
  layout->addLayout(buttons, 2, 1);
  UpdateButtons();
}

bool LinkPage::Apply() {
  entry_.OnlyListedServers = allLinks_->isChecked() ? 0 : 1;
  entry_.Servers.Clear();
  for (int row = 0; row < servers_->count(); ++row) {
    entry_.Servers.Add(std::make_unique<WideString>(ToView(servers_->item(row)->text())));
  }
  return true;
}

void LinkPage::UpdateButtons() {
  const bool listed = !allLinks_->isChecked();
  const int selected = SelectedCount();
  servers_->setEnabled(listed);
  add_->setEnabled(listed);
  change_->setEnabled(listed && selected == 1);
  delete_->setEnabled(listed && selected >= 1);
}

void LinkPage::AddServer() {
  ServerInputDialog dialog(QString(), this);
  if (dialog.exec() == QDialog::Accepted) {
    servers_->addItem(dialog.Text());
  }
  UpdateButtons();
}

void LinkPage::ChangeServer(int row) {
  QListWidgetItem* item = servers_->item(row);
  if (item == nullptr) {
    UpdateButtons();
    return;
  }
  ServerInputDialog dialog(item->text(), this);
  if (dialog.exec() == QDialog::Accepted) {
    std::unique_ptr<QListWidgetItem> old(servers_->takeItem(row));
    servers_->insertItem(row, dialog.Text());
  }
  UpdateButtons();
}

void LinkPage::ChangeFirstSelected() {
  for (int row = 0; row < servers_->count(); ++row) {
    if (servers_->item(row)->isSelected()) {
      ChangeServer(row);
      return;
    }
  }
  UpdateButtons();
}

void LinkPage::DeleteSelected() {
  for (int row = servers_->count() - 1; row >= 0; --row) {
    if (servers_->item(row)->isSelected()) {
      std::unique_ptr<QListWidgetItem> removed(servers_->takeItem(row));
    }
  }
  UpdateButtons();
}

int LinkPage::SelectedCount() const {
  return static_cast<int>(servers_->selectedItems().size());
}

}  // namespace kivo
