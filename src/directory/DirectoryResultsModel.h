#pragma once
// The results of a directory search as the find window's table shows them:
// name, country, language, tags, codec, bitrate, votes, clicks, one row a
// station, in the order the directory answered. A new search replaces the
// rows; the next page is appended below them. UI thread only.
#include "directory/DirectoryStation.h"

#include <QAbstractTableModel>
#include <QList>

class DirectoryResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, Country, Language, Tags, Codec, Bitrate, Votes, Clicks, ColumnCount };

    explicit DirectoryResultsModel(QObject *parent = nullptr);

    void Replace(QList<DirectoryStation> stations);
    void Append(const QList<DirectoryStation> &stations);
    int Count() const { return int(stations_.size()); }
    // Row `row`'s station; `row` must be within 0 ... Count() - 1.
    const DirectoryStation &Station(int row) const { return stations_.at(row); }
    // The text of a cell, as shown.
    QString Text(int row, int column) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<DirectoryStation> stations_;
};
