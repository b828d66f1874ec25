#include "directory/DirectoryResultsModel.h"

#include <QLocale>

namespace {
const char *const Captions[DirectoryResultsModel::ColumnCount] = {
    "Name", "Country", "Language", "Tags", "Codec", "Bitrate", "Votes", "Clicks"};
} // namespace

DirectoryResultsModel::DirectoryResultsModel(QObject *parent) : QAbstractTableModel(parent) {}

void DirectoryResultsModel::Replace(QList<DirectoryStation> stations) {
    beginResetModel();
    stations_ = std::move(stations);
    endResetModel();
}

void DirectoryResultsModel::Append(const QList<DirectoryStation> &stations) {
    if (stations.isEmpty())
        return;
    beginInsertRows(QModelIndex(), int(stations_.size()),
                    int(stations_.size() + stations.size() - 1));
    stations_.append(stations);
    endInsertRows();
}

QString DirectoryResultsModel::Text(int row, int column) const {
    if (row < 0 || row >= stations_.size())
        return QString();
    const DirectoryStation &s = stations_[row];
    const QLocale numbers(QLocale::English);
    switch (column) {
    case Name:
        return s.name;
    case Country:
        return s.country;
    case Language:
        return s.language;
    case Tags:
        return s.TagText();
    case Codec:
        return s.codec;
    case Bitrate:
        return s.bitrate > 0 ? numbers.toString(s.bitrate) : QString();
    case Votes:
        return numbers.toString(s.votes);
    case Clicks:
        return numbers.toString(s.clickCount);
    default:
        return QString();
    }
}

int DirectoryResultsModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(stations_.size());
}

int DirectoryResultsModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DirectoryResultsModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid())
        return QVariant();
    if (role == Qt::DisplayRole)
        return Text(index.row(), index.column());
    if (role == Qt::ToolTipRole && (index.column() == Name || index.column() == Tags))
        return Text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && index.column() >= Bitrate)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return QVariant();
}

QVariant DirectoryResultsModel::headerData(int section, Qt::Orientation orientation,
                                           int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= ColumnCount)
        return QVariant();
    return QString::fromLatin1(Captions[section]);
}
