#include "ui/UrlListView.h"

#include <QHeaderView>
#include <algorithm>

#include "ui/UrlListModel.h"

namespace kivo {

UrlListView::UrlListView(UrlListModel* model, QWidget* parent) : QTreeView(parent) {
  setObjectName(QStringLiteral("urlList"));
  setAccessibleName(QStringLiteral("URL一覧"));
  setModel(model);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setExpandsOnDoubleClick(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
  setTextElideMode(Qt::ElideRight);
  setIconSize(QSize(16, 16));
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QHeaderView* columns = header();
  columns->setObjectName(QStringLiteral("urlListHeader"));
  columns->setAccessibleName(QStringLiteral("列見出し"));
  // The stored widths are the columns' own: the last column does not
  // stretch, and the columns keep their order.
  columns->setStretchLastSection(false);
  columns->setSectionsMovable(false);
  columns->setSectionResizeMode(QHeaderView::Interactive);
  columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

std::vector<int32_t> UrlListView::SelectedRows() const {
  std::vector<int32_t> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) {
    rows.push_back(index.row());
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

void UrlListView::SelectOnly(int32_t row) {
  const QModelIndex index = model()->index(row, 0);
  selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  scrollTo(index);
}

}  // namespace kivo
