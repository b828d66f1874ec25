#include "directory/DirectoryStation.h"

#include "directory/JsonFields.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>
#include <utility>

DirectoryStation DirectoryStation::FromJson(const QJsonValue &value) {
    static const std::pair<const char *, QString DirectoryStation::*> texts[] = {
        {"stationuuid", &DirectoryStation::stationUuid},
        {"name", &DirectoryStation::name},
        {"url", &DirectoryStation::url},
        {"url_resolved", &DirectoryStation::urlResolved},
        {"homepage", &DirectoryStation::homepage},
        {"tags", &DirectoryStation::tags},
        {"country", &DirectoryStation::country},
        {"language", &DirectoryStation::language},
        {"codec", &DirectoryStation::codec}};
    static const std::pair<const char *, int DirectoryStation::*> numbers[] = {
        {"bitrate", &DirectoryStation::bitrate},
        {"votes", &DirectoryStation::votes},
        {"clickcount", &DirectoryStation::clickCount}};
    DirectoryStation s;
    const QJsonObject o = value.toObject(); // not an object: every field empty
    for (const auto &[key, field] : texts)
        s.*field = JsonFields::Text(o, key);
    for (const auto &[key, field] : numbers)
        s.*field = JsonFields::Number(o, key);
    s.lastCheckOk = JsonFields::Number(o, "lastcheckok") != 0;
    return s;
}

QString DirectoryStation::PlayUrl() const {
    return urlResolved.isEmpty() ? url : urlResolved;
}

namespace {
QStringList TagList(const QString &tags) {
    QStringList out;
    for (const QString &tag : tags.split(QLatin1Char(','))) {
        const QString t = tag.trimmed();
        if (!t.isEmpty())
            out.append(t);
    }
    return out;
}
} // namespace

QString DirectoryStation::FirstTag() const {
    const QStringList list = TagList(tags);
    return list.isEmpty() ? QString() : list.first();
}

QString DirectoryStation::TagText() const {
    return TagList(tags).join(QStringLiteral(", "));
}

QString DirectoryStation::StationLine() const {
    // The texts hold no tab or line break (FromJson took them out), so each
    // field stays one field.
    const QString fields[] = {name, TagText(), FirstTag(), country, language, PlayUrl(), homepage};
    QString line;
    for (const QString &field : fields)
        line += field + QLatin1Char('\t');
    return line;
}
