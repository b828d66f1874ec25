#include "history/SongHistoryModel.h"

#include "history/SongHistory.h"

#include <QLocale>

SongHistoryModel::SongHistoryModel(const SongHistory *history, QObject *parent)
    : QAbstractTableModel(parent), history_(history) {
    Rebuild();
}

bool SongHistoryModel::Matches(const SongEntry &entry) const {
    return filter_.isEmpty() || entry.title.contains(filter_, Qt::CaseInsensitive) ||
           entry.station.contains(filter_, Qt::CaseInsensitive);
}

void SongHistoryModel::Rebuild() {
    matches_.clear();
    const QList<SongEntry> &entries = history_->Entries();
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (Matches(entries.at(i)))
            matches_.append(i);
}

void SongHistoryModel::SetFilter(const QString &text) {
    if (text == filter_)
        return;
    beginResetModel();
    filter_ = text;
    Rebuild();
    endResetModel();
}

const SongEntry &SongHistoryModel::Entry(int row) const {
    return history_->Entries().at(matches_.at(matches_.size() - 1 - row));
}

void SongHistoryModel::EntryAdded() {
    const qsizetype newest = history_->Entries().size() - 1;
    if (newest < 0 || !Matches(history_->Entries().at(newest)))
        return;
    beginInsertRows(QModelIndex(), 0, 0);
    matches_.append(newest);
    endInsertRows();
}

void SongHistoryModel::DroppingOldest(int count) {
    // The dropped entries are the oldest: the last rows shown, if any.
    dropping_ = 0;
    while (dropping_ < matches_.size() && matches_.at(dropping_) < count)
        ++dropping_;
    const int rows = int(matches_.size());
    if (dropping_ > 0)
        beginRemoveRows(QModelIndex(), rows - int(dropping_), rows - 1);
}

void SongHistoryModel::OldestDropped(int count) {
    matches_.remove(0, dropping_);
    for (qsizetype &position : matches_)
        position -= count;
    if (dropping_ > 0)
        endRemoveRows();
    dropping_ = 0;
}

void SongHistoryModel::Clearing() {
    beginResetModel();
}

void SongHistoryModel::Cleared() {
    matches_.clear();
    endResetModel();
}

int SongHistoryModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(matches_.size());
}

int SongHistoryModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SongHistoryModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const SongEntry &entry = Entry(index.row());
    switch (index.column()) {
    case TimeColumn:
        // One width for every row, and in order when read down the column.
        return role == Qt::DisplayRole
                   ? QLocale().toString(entry.time, QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                   : QLocale().toString(entry.time, QLocale::LongFormat);
    case StationColumn:
        return entry.station;
    case TitleColumn:
        return entry.title;
    default:
        return {};
    }
}

QVariant SongHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case TimeColumn:
        return QStringLiteral("Time");
    case StationColumn:
        return QStringLiteral("Station");
    case TitleColumn:
        return QStringLiteral("Title");
    default:
        return {};
    }
}
