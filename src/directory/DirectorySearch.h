#pragma once
// DirectorySearch: one search of the directory at a time, shown in a
// DirectoryResultsModel, a page at a time. A new search cancels the one
// running, whose answer is dropped; More asks for the next page of the
// search shown. Failures change nothing but the status text. UI thread only.
#include "directory/DirectoryClient.h"
#include "directory/DirectoryQuery.h"

#include <QObject>
#include <QString>

class DirectoryResultsModel;

class DirectorySearch : public QObject {
    Q_OBJECT
public:
    DirectorySearch(DirectoryClient &client, DirectoryResultsModel &model,
                    QObject *parent = nullptr);

    // Starts `query` from its first page (its offset and limit are set here).
    void Start(const DirectoryQuery &query);
    // Asks for the next page, unless one is on its way or the last came.
    void More();
    // A search or a page is on its way.
    bool Running() const { return request_ != 0; }
    // A new search is on its way (not a further page).
    bool Searching() const { return request_ != 0 && firstPage_; }
    // The search shown may have more stations than the model holds.
    bool HasMore() const { return hasMore_; }
    // The query whose stations the model shows.
    const DirectoryQuery &Query() const { return shown_; }
    // What the status line says: "Searching...", "57 stations, showing
    // 1-57", "The station directory cannot be reached: ...".
    QString Status() const { return status_; }

    // The status line's text for a failure.
    static QString Unreachable(const QString &reason);

Q_SIGNALS:
    void StatusChanged(const QString &status);
    // The first page of a search came in (ok) or could not be had.
    void Answered(bool ok);
    // A further page came in.
    void PageAdded();

private:
    void Ask(bool firstPage);
    void Take(bool firstPage, const DirectoryClient::Answer &answer);
    void SetStatus(const QString &status);

    DirectoryClient &client_;
    DirectoryResultsModel &model_;
    DirectoryQuery shown_;   // the search the model shows
    DirectoryQuery asked_;   // the search on its way (first page or next)
    quint64 request_ = 0;    // the request on its way, 0: none
    bool firstPage_ = false; // it asks for a new search's first page
    bool hasMore_ = false;
    QString status_;
};
