#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <array>
#include <cstdint>
#include <memory>

#include "urllist/UrlList.h"

namespace kivo {

// The list view's model over the live UrlList: row i is entry i. It holds no
// text of its own; every cell is made from the entry when the view paints
// it, so a changed entry needs only RowChanged. All changes to the list's
// rows go through Append and Take, so that the view always agrees with it.
class UrlListModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kNameColumn, kUrlColumn, kLinkLevelColumn, kLastTimeColumn, kColumnCount };

  // Shows `list`, which must outlive the model.
  explicit UrlListModel(UrlList& list, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Appends `entry` to the list as a new last row and returns its row.
  int32_t Append(std::unique_ptr<UrlEntry> entry);
  // Removes row `row` from the list and hands its entry back.
  std::unique_ptr<UrlEntry> Take(int32_t row);
  // Tells the view that the entry of `row` changed; other rows are left alone.
  void RowChanged(int32_t row);

  // Returns the entry of `row`, or null outside the list.
  UrlEntry* EntryAt(int32_t row) const;

 private:
  QVariant DisplayText(const UrlEntry& entry, int column) const;

  UrlList& list_;
  std::array<QIcon, 3> stateIcons_;
};

}  // namespace kivo
