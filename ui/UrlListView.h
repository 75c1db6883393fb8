#pragma once

#include <QTreeView>
#include <cstdint>
#include <vector>

namespace kivo {

class UrlListModel;

// The main window's report list of URL entries: whole rows are selected,
// several at once, and nothing is edited in place or sorted; the columns
// keep their order and their own widths.
class UrlListView final : public QTreeView {
  Q_OBJECT

 public:
  // Shows `model`, which must outlive the view.
  UrlListView(UrlListModel* model, QWidget* parent);

  // Returns the selected rows, lowest first.
  std::vector<int32_t> SelectedRows() const;
  // Makes `row` the only selected row and the current one, and shows it.
  void SelectOnly(int32_t row);
};

}  // namespace kivo
