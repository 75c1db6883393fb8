#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "ui/SheetPage.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace kivo {

class EntryListing;

// The page "接続" of the options: whether to dial before a patrol and which
// dial-up entry, and whether to connect through a proxy and which one.
class ConnectionPage : public SheetPage {
  Q_OBJECT

 public:
  // Reads the stored values. `dialupEntries` are the dial-up entries in the
  // service's order, of which names beginning with "`" are left out; until
  // they arrive, dial-up can be neither switched nor chosen.
  ConnectionPage(std::shared_ptr<EntryListing> dialupEntries, QWidget* parent);

  // Writes DialupConnect, DialupEntry, UseProxy and ProxyName, in this
  // order; the entry and proxy name whatever the check boxes say. Before the
  // dial-up entries have arrived, the stored DialupConnect and DialupEntry
  // are left as they are.
  bool Apply() override;

 private:
  void LayOut();
  // Fills the list from the arrived entries, selects the stored one, and
  // lets dial-up be switched on only when there is an entry to dial.
  void ShowEntries();
  void FillEntries(const QStringList& dialupEntries);
  // Selects the entry named `stored`, ignoring case; failing that, the first
  // entry that begins with it, looking from the second entry to the last and
  // then at the first. An empty name selects the first entry.
  void SelectStoredEntry(const QString& stored);

  std::shared_ptr<EntryListing> dialupEntries_;
  QString storedEntry_;
  QCheckBox* dialup_;
  QComboBox* entries_;
  QCheckBox* useProxy_;
  QLabel* proxyLabel_;
  QLineEdit* proxyName_;
};

}  // namespace kivo
