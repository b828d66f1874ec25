#include "directory/DirectorySearch.h"

#include "directory/DirectoryLimits.h"
#include "directory/DirectoryResultsModel.h"

#include <QJsonArray>
#include <QLocale>

DirectorySearch::DirectorySearch(DirectoryClient &client, DirectoryResultsModel &model,
                                 QObject *parent)
    : QObject(parent), client_(client), model_(model) {}

QString DirectorySearch::Unreachable(const QString &reason) {
    return QStringLiteral("The station directory cannot be reached: ") + reason;
}

void DirectorySearch::Start(const DirectoryQuery &query) {
    client_.Cancel(request_);
    request_ = 0;
    asked_ = query;
    asked_.offset = 0;
    asked_.limit = DirectoryLimits::PageSize;
    Ask(true);
}

void DirectorySearch::More() {
    if (request_ != 0 || !hasMore_)
        return;
    asked_ = shown_;
    asked_.offset = model_.Count();
    Ask(false);
}

void DirectorySearch::Ask(bool firstPage) {
    firstPage_ = firstPage;
    SetStatus(client_.Servers().isEmpty() ? QStringLiteral("Looking for the station directory...")
              : firstPage                 ? QStringLiteral("Searching...")
                                          : QStringLiteral("Fetching more stations..."));
    request_ = client_.Get(
        asked_.Path(), DirectoryClient::Shape::Array,
        [this, firstPage](const DirectoryClient::Answer &answer) { Take(firstPage, answer); });
}

void DirectorySearch::Take(bool firstPage, const DirectoryClient::Answer &answer) {
    request_ = 0;
    if (!answer.error.isEmpty()) {
        SetStatus(Unreachable(answer.error));
        if (firstPage)
            Q_EMIT Answered(false);
        return;
    }
    const QJsonArray array = answer.json.array();
    QList<DirectoryStation> stations;
    stations.reserve(array.size());
    for (const QJsonValue &v : array)
        stations.append(DirectoryStation::FromJson(v));
    // A server that sends more than asked for still ends the paging.
    hasMore_ = stations.size() == asked_.limit;
    shown_ = asked_;
    shown_.offset = 0;
    if (firstPage)
        model_.Replace(std::move(stations));
    else
        model_.Append(stations);

    const QLocale numbers(QLocale::English);
    const int n = model_.Count();
    if (n == 0)
        SetStatus(QStringLiteral("No stations found"));
    else if (hasMore_)
        SetStatus(QStringLiteral("More than %1 stations, showing 1-%1").arg(numbers.toString(n)));
    else
        SetStatus(QStringLiteral("%1 %2, showing 1-%1")
                      .arg(numbers.toString(n),
                           n == 1 ? QStringLiteral("station") : QStringLiteral("stations")));
    if (firstPage)
        Q_EMIT Answered(true);
    else
        Q_EMIT PageAdded();
}

void DirectorySearch::SetStatus(const QString &status) {
    status_ = status;
    Q_EMIT StatusChanged(status_);
}
