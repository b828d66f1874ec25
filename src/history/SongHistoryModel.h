#pragma once
// SongHistoryModel: the song history as the "Song history" window's table
// shows it: newest first, three columns (time, station, title), narrowed to
// the entries whose station or title holds the filter text (any letter
// case). It follows the history as titles arrive, keeping the rows the user
// selected. UI thread.
#include <QAbstractTableModel>
#include <QList>
#include <QString>

class SongHistory;
struct SongEntry;

class SongHistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TimeColumn, StationColumn, TitleColumn, ColumnCount };

    explicit SongHistoryModel(const SongHistory *history, QObject *parent = nullptr);

    void SetFilter(const QString &text);
    const QString &Filter() const { return filter_; }
    // The entry a row shows.
    const SongEntry &Entry(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The history's changes, as SongHistory announces them.
    void EntryAdded();
    void DroppingOldest(int count);
    void OldestDropped(int count);
    void Clearing();
    void Cleared();

private:
    bool Matches(const SongEntry &entry) const;
    void Rebuild();

    const SongHistory *history_;
    QString filter_;
    // Positions in the history (oldest first) of the entries shown, in
    // ascending order; row r shows matches_[size - 1 - r].
    QList<qsizetype> matches_;
    // Between DroppingOldest and OldestDropped: how many rows go.
    qsizetype dropping_ = 0;
};
