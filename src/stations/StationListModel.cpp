#include "stations/StationListModel.h"

#include "stations/StationLine.h"
#include "stations/StationList.h"

const char *const StationListModel::Captions[ColumnCount] = {
    "#", "Station", "Genre", "Country", "URL", "Description", "Language", "Additional URL"};
const int StationListModel::Fields[ColumnCount] = {0, 1, 3, 4, 6, 2, 5, 7};

StationListModel::StationListModel(const StationList *stations, QObject *parent)
    : QAbstractTableModel(parent), stations_(stations) {}

void StationListModel::SetRowCount(int rows) {
    rows = qMax(0, rows);
    // Rows are added or removed at the end rather than resetting the model, so
    // the selection of the rows that stay is kept, as a virtual list keeps it.
    if (rows > rows_) {
        beginInsertRows(QModelIndex(), rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    } else if (rows < rows_) {
        beginRemoveRows(QModelIndex(), rows, rows_ - 1);
        rows_ = rows;
        endRemoveRows();
    }
    // The lines behind the rows may have changed (a deletion moves them up).
    if (rows_ > 0)
        Q_EMIT dataChanged(index(0, 0), index(rows_ - 1, ColumnCount - 1), {Qt::DisplayRole});
}

QString StationListModel::Text(int row, int column) const {
    if (row < 0 || row >= rows_ || row >= stations_->Count() || column < 0 || column >= ColumnCount)
        return QString();
    if (column == 0)
        return QString::number(row + 1);
    return ExtractField(QLatin1Char('\t'), stations_->Line(row), Fields[column]);
}

int StationListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : rows_;
}

int StationListModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant StationListModel::data(const QModelIndex &index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid())
        return QVariant();
    return Text(index.row(), index.column());
}

QVariant StationListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= ColumnCount)
        return QVariant();
    return QString::fromLatin1(Captions[section]);
}

Qt::ItemFlags StationListModel::flags(const QModelIndex &index) const {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}
