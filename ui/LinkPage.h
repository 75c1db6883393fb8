#pragma once

#include "ui/SheetPage.h"

class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;

namespace kivo {

struct UrlEntry;

// The page "ﾘﾝｸ" of the entry sheet: whether links are followed to every
// server or only to the entry's own server and the listed server prefixes,
// with the list and its buttons. Edits change only the list until OK.
class LinkPage : public SheetPage {
  Q_OBJECT

 public:
  LinkPage(UrlEntry& entry, QWidget* parent);

  // Stores the server rule and replaces the entry's server list with the
  // page's lines, also while links are followed to every server.
  bool Apply() override;

 private:
  // Enables the list and the buttons as the radio buttons and the
  // selection allow.
  void UpdateButtons();
  void AddServer();
  // Edits the line at `row` in the dialog "URL入力"; the new line is not
  // selected.
  void ChangeServer(int row);
  void ChangeFirstSelected();
  void DeleteSelected();
  int SelectedCount() const;

  UrlEntry& entry_;
  QRadioButton* allLinks_;
  QRadioButton* listedServers_;
  QListWidget* servers_;
  QPushButton* add_;
  QPushButton* change_;
  QPushButton* delete_;
};

}  // namespace kivo
