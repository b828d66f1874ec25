#include "directory/DirectoryQuery.h"

#include <QUrl>

namespace {

// The directory's name for an order, and whether it runs from the highest.
struct OrderParam {
    const char *order;
    bool reverse;
};

OrderParam Param(DirectoryQuery::Order order) {
    switch (order) {
    case DirectoryQuery::Order::Votes:
        return {"votes", true};
    case DirectoryQuery::Order::Clicks:
        return {"clickcount", true};
    case DirectoryQuery::Order::Trending:
        return {"clicktrend", true};
    case DirectoryQuery::Order::Name:
        return {"name", false};
    case DirectoryQuery::Order::Bitrate:
        return {"bitrate", true};
    }
    return {"votes", true};
}

void Add(QString &query, const char *key, const QString &value) {
    query += query.isEmpty() ? QLatin1Char('?') : QLatin1Char('&');
    query +=
        QLatin1String(key) + QLatin1Char('=') + QString::fromLatin1(QUrl::toPercentEncoding(value));
}

} // namespace

QString DirectoryQuery::Path() const {
    QString query;
    const QString trimmedName = name.trimmed();
    if (!trimmedName.isEmpty())
        Add(query, "name", trimmedName);
    if (!tag.trimmed().isEmpty())
        Add(query, "tag", tag.trimmed());
    if (!country.isEmpty()) {
        Add(query, "country", country);
        Add(query, "countryExact", QStringLiteral("true"));
    }
    if (!language.isEmpty()) {
        Add(query, "language", language);
        Add(query, "languageExact", QStringLiteral("true"));
    }
    if (!codec.isEmpty())
        Add(query, "codec", codec);
    if (bitrateMin > 0)
        Add(query, "bitrateMin", QString::number(bitrateMin));
    const OrderParam o = Param(order);
    Add(query, "order", QLatin1String(o.order));
    Add(query, "reverse", o.reverse ? QStringLiteral("true") : QStringLiteral("false"));
    Add(query, "hidebroken", hideBroken ? QStringLiteral("true") : QStringLiteral("false"));
    Add(query, "offset", QString::number(offset));
    Add(query, "limit", QString::number(limit));
    return QStringLiteral("/json/stations/search") + query;
}
