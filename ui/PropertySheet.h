#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <vector>

class QPushButton;
class QTabWidget;

namespace kivo {

class SheetPage;

// A modal dialog of titled pages with OK and Cancel and no Apply. A page is
// made the first time it is shown, so a page the user never opens reads and
// writes nothing. OK makes every page that was made write its fields, in
// page order, once every one of them has passed its check; Cancel makes none
// write.
//
// The sheet opens with the focus on the first field of the first page, and
// Tab runs through the page shown before it reaches OK and Cancel.
class PropertySheet : public QDialog {
  Q_OBJECT

 public:
  // Makes the page's widget inside the given holder.
  using PageMaker = std::function<SheetPage*(QWidget* holder)>;

  PropertySheet(const QString& caption, QWidget* parent);

  // Appends a page; the first page appended is made at once, as it is shown
  // first.
  void AddPage(const QString& title, PageMaker maker);

  // Shows the page at `index`, making it when it was not made yet.
  void ShowPage(int index);

  // Returns the page at `index` when it has been made, else null.
  SheetPage* MadePage(int index) const;

  // Lets every made page write its fields, then closes with OK; when a page
  // refuses its fields, shows that page and stays open.
  void accept() override;

 private:
  struct PageSlot {
    QWidget* Holder;
    PageMaker Maker;
    SheetPage* Page;
  };

  void MakePage(int index);
  void PutBeforeButtons(QWidget* page);

  QTabWidget* tabs_;
  QPushButton* ok_;
  QPushButton* cancel_;
  std::vector<PageSlot> pages_;
};

}  // namespace kivo
