#include "directory/DirectoryChoice.h"

#include "directory/JsonFields.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>
#include <limits>

QList<DirectoryChoice> DirectoryChoice::FromJson(const QJsonArray &array) {
    QList<DirectoryChoice> out;
    QHash<QString, qsizetype> seen; // folded name -> index in out
    for (const QJsonValue &v : array) {
        const QJsonObject o = v.toObject();
        DirectoryChoice c;
        c.name = JsonFields::Text(o, "name");
        c.stationCount = qMax(0, JsonFields::Number(o, "stationcount"));
        if (c.name.isEmpty())
            continue;
        const QString key = c.name.toCaseFolded();
        const auto at = seen.constFind(key);
        if (at != seen.constEnd()) {
            DirectoryChoice &first = out[*at];
            first.stationCount = int(qMin<qint64>(qint64(first.stationCount) + c.stationCount,
                                                  std::numeric_limits<int>::max()));
            continue;
        }
        seen.insert(key, out.size());
        out.append(c);
    }
    return out;
}

QString DirectoryChoice::Caption() const {
    return QStringLiteral("%1 (%2)").arg(name, QLocale(QLocale::English).toString(stationCount));
}
