#include "ui/UrlListModel.h"

#include "ui/AppIcons.h"
#include "urllist/ListEdits.h"

namespace kivo {

namespace {

QString FromWide(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// A title or URL read from the list file may hold line breaks or other
// control characters; a list row shows them as spaces and stays one line.
QString OneLine(std::u16string_view text) {
  QString line = FromWide(text);
  for (QChar& ch : line) {
    if (ch.unicode() < 0x20 || ch.unicode() == 0x7F) {
      ch = QLatin1Char(' ');
    }
  }
  return line;
}

}  // namespace

UrlListModel::UrlListModel(UrlList& list, QObject* parent)
    : QAbstractTableModel(parent),
      list_(list),
      stateIcons_{StateIcon(0), StateIcon(1), StateIcon(2)} {}

int UrlListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : list_.Count();
}

int UrlListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant UrlListModel::data(const QModelIndex& index, int role) const {
  const UrlEntry* entry = EntryAt(index.row());
  if (entry == nullptr) {
    return {};
  }
  switch (role) {
    case Qt::DisplayRole:
      return DisplayText(*entry, index.column());
    case Qt::DecorationRole:
      if (index.column() != kNameColumn) {
        return {};
      }
      return entry->Status >= 1 && entry->Status <= 2 ? stateIcons_[entry->Status] : stateIcons_[0];
    case Qt::TextAlignmentRole:
      return index.column() == kLinkLevelColumn
                 ? QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter)
                 : QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant UrlListModel::DisplayText(const UrlEntry& entry, int column) const {
  switch (column) {
    case kNameColumn:
      return OneLine(entry.Name.View());
    case kUrlColumn:
      return OneLine(entry.Url.View());
    case kLinkLevelColumn:
      return QString::number(entry.LinkLevel);
    case kLastTimeColumn:
      return FromWide(LastTimeText(entry));
    default:
      return {};
  }
}

QVariant UrlListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) {
    return {};
  }
  if (role == Qt::TextAlignmentRole) {
    return section == kLinkLevelColumn ? QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter)
                                       : QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  }
  if (role != Qt::DisplayRole) {
    return {};
  }
  switch (section) {
    case kNameColumn:
      return QStringLiteral("ﾀｲﾄﾙ");
    case kUrlColumn:
      return QStringLiteral("URL");
    case kLinkLevelColumn:
      return QStringLiteral("ﾘﾝｸ");
    case kLastTimeColumn:
      return QStringLiteral("更新日時");
    default:
      return {};
  }
}

Qt::ItemFlags UrlListModel::flags(const QModelIndex& index) const {
  // Rows are selected and read, never edited in place: editing goes through
  // the entry sheet.
  if (!index.isValid()) {
    return Qt::NoItemFlags;
  }
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int32_t UrlListModel::Append(std::unique_ptr<UrlEntry> entry) {
  const int32_t row = list_.Count();
  beginInsertRows(QModelIndex(), row, row);
  list_.Add(std::move(entry));
  endInsertRows();
  return row;
}

std::unique_ptr<UrlEntry> UrlListModel::Take(int32_t row) {
  if (row < 0 || row >= list_.Count()) {
    return nullptr;
  }
  beginRemoveRows(QModelIndex(), row, row);
  std::unique_ptr<UrlEntry> entry = list_.TakeAt(row);
  endRemoveRows();
  return entry;
}

void UrlListModel::RowChanged(int32_t row) {
  if (row < 0 || row >= list_.Count()) {
    return;
  }
  emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

UrlEntry* UrlListModel::EntryAt(int32_t row) const {
  if (row < 0 || row >= list_.Count()) {
    return nullptr;
  }
  return list_[row];
}

}  // namespace kivo
