#include "ui/FolderField.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "ui/SheetControls.h"
#include "urllist/EditRules.h"

namespace kivo {

FolderField::FolderField(const QString& accessibleName, QWidget* parent)
    : QWidget(parent),
      edit_(new QLineEdit(this)),
      browse_(new QPushButton(QStringLiteral("..."), this)) {
  NameControl(edit_, "folderEdit", accessibleName);
  NameControl(browse_, "folderBrowseButton", QStringLiteral("ﾌｫﾙﾀﾞの選択"));
  edit_->setMaxLength(kMaxFolderChars);
  browse_->setFixedWidth(browse_->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
  connect(browse_, &QPushButton::clicked, this, &FolderField::ChooseFolder);
  setFocusProxy(edit_);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(edit_, 1);
  layout->addWidget(browse_);
}

QString FolderField::Text() const {
  return edit_->text();
}

void FolderField::SetText(const QString& text) {
  SetWholeText(edit_, text, kMaxFolderChars);
  shown_ = text;
}

std::optional<WideString> FolderField::Folder() const {
  const QString text = edit_->text();
  std::optional<WideString> folder = NormaliseTypedFolder(ToView(text));
  // A stored folder too long to type in again stays as it was while the
  // user leaves it alone; cut down, it would name its parent folder.
  if (!folder && text == shown_) {
    return WideString(ToView(text));
  }
  return folder;
}

bool FolderField::Check() {
  if (Folder()) {
    return true;
  }
  QMessageBox box(
      QMessageBox::Warning, window()->windowTitle(),
      QStringLiteral("ﾌｫﾙﾀﾞ名が長すぎます。%1 文字までにしてください。").arg(kMaxFolderChars),
      QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("folderTooLongBox"));
  box.exec();
  edit_->setFocus();
  edit_->selectAll();
  return false;
}

void FolderField::ChooseFolder() {
  const QString typed = edit_->text();
  const QString start = QDir(typed).exists() && !typed.isEmpty() ? typed : QDir::homePath();
  const QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("ﾌｫﾙﾀﾞの選択"),
                                                           start, QFileDialog::ShowDirsOnly);
  if (chosen.isEmpty()) {
    return;
  }
  const std::optional<WideString> folder = NormaliseTypedFolder(ToView(chosen));
  // The field would cut a longer folder silently, which would name another
  // folder; keep the text as it was instead.
  if (!folder) {
    QApplication::beep();
    return;
  }
  edit_->setText(ToQString(folder->View()));
}

}  // namespace kivo
