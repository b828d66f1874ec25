#pragma once
// The station list as the list view sees it, in virtual mode: the model
// holds no texts, only a row count R that the list operations set
// explicitly; every data() call takes the row's fields out of the stored line
// again. Row r shows line r of Stations. UI thread only.
#include <QAbstractTableModel>

class StationList;

class StationListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit StationListModel(const StationList *stations, QObject *parent = nullptr);

    // The view's row count; never derived from the list by the model.
    void SetRowCount(int rows);
    int RowCount() const { return rows_; }

    // The texts of row r: column 0 the number r + 1, then the station's
    // fields 1, 3, 4, 6, 2, 5, 7 (name, genre, country, URL, description,
    // language, additional URL).
    QString Text(int row, int column) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    static constexpr int ColumnCount = 8;
    // The columns the player reads: the station's name and its stream URL.
    static constexpr int NameColumn = 1;
    static constexpr int UrlColumn = 4;
    // Column captions and the field each column shows (0: the row number).
    static const char *const Captions[ColumnCount];
    static const int Fields[ColumnCount];

private:
    const StationList *stations_;
    int rows_ = 0;
};
