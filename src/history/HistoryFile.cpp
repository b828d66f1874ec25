#include "history/HistoryFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <cstdio>

namespace HistoryFile {

namespace {

// "2026-03-01T12:00:00+01:00". With the offset, so that a file read in
// another time zone, or after the clocks changed, still tells the same
// moment. Entries carry their offset already (SongHistory::Record), and the
// text is put together by hand: the time zone lookups and the general
// formatter would make a file of 10,000 lines cost a quarter of a second.
QByteArray TimeText(const QDateTime &time) {
    const QDateTime t =
        time.timeSpec() == Qt::OffsetFromUTC ? time : time.toOffsetFromUtc(time.offsetFromUtc());
    const QDate d = t.date();
    const QTime c = t.time();
    const int offset = t.offsetFromUtc() / 60;
    const int away = offset < 0 ? -offset : offset;
    char text[40];
    const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d",
                                d.year(), d.month(), d.day(), c.hour(), c.minute(), c.second(),
                                offset < 0 ? '-' : '+', away / 60, away % 60);
    return QByteArray(text, n);
}

// The number of `n` digits at `at`, or -1.
int Digits(QStringView text, qsizetype at, int n) {
    int value = 0;
    for (int i = 0; i < n; ++i) {
        const char16_t c = text[at + i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// The time as this file writes it, read without the general parser (a
// tenth of its cost at 10,000 lines); any other ISO 8601 form goes to it.
QDateTime ParseTime(QStringView text) {
    if (text.size() == 25 && text[4] == u'-' && text[7] == u'-' && text[10] == u'T' &&
        text[13] == u':' && text[16] == u':' && (text[19] == u'+' || text[19] == u'-') &&
        text[22] == u':') {
        const QDate date(Digits(text, 0, 4), Digits(text, 5, 2), Digits(text, 8, 2));
        const QTime time(Digits(text, 11, 2), Digits(text, 14, 2), Digits(text, 17, 2));
        const int hours = Digits(text, 20, 2), minutes = Digits(text, 23, 2);
        if (date.isValid() && time.isValid() && hours >= 0 && minutes >= 0 && minutes < 60)
            return QDateTime(date, time, Qt::OffsetFromUTC,
                             (text[19] == u'-' ? -60 : 60) * (hours * 60 + minutes));
    }
    return QDateTime::fromString(text.toString(), Qt::ISODate);
}

// One line as an entry; false when it is not one.
bool ParseLine(QStringView line, SongEntry *entry) {
    const qsizetype first = line.indexOf(QLatin1Char('\t'));
    if (first < 0)
        return false;
    const qsizetype second = line.indexOf(QLatin1Char('\t'), first + 1);
    if (second < 0)
        return false;
    const QDateTime time = ParseTime(line.left(first));
    if (!time.isValid())
        return false;
    // Kept with the offset it was written with: the wall-clock time the
    // listener saw then, and no time zone lookup per line.
    entry->time = time;
    entry->station = line.mid(first + 1, second - first - 1).toString();
    // A hand-edited title may hold a tab of its own: it is all title.
    entry->title = line.mid(second + 1).toString();
    return true;
}

} // namespace

QString Clean(const QString &text) {
    QString out = text;
    for (QChar &c : out)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QLatin1Char(' ');
    return out.trimmed();
}

QByteArray FormatLine(const SongEntry &entry) {
    return TimeText(entry.time) + '\t' + Clean(entry.station).toUtf8() + '\t' +
           Clean(entry.title).toUtf8();
}

QByteArray Format(const QList<SongEntry> &entries) {
    QByteArray out;
    // About 80 bytes a line: one allocation for the usual history.
    out.reserve(entries.size() * 96);
    for (const SongEntry &entry : entries) {
        out += FormatLine(entry);
        out += '\n';
    }
    return out;
}

Contents Parse(const QByteArray &bytes, int limit) {
    Contents out;
    // Only the newest `limit` lines count: older ones would be dropped
    // anyway, so they are neither decoded nor judged.
    QList<QByteArrayView> lines;
    qsizetype end = bytes.size();
    while (end > 0 && lines.size() < limit) {
        const qsizetype nl = bytes.lastIndexOf('\n', end - 1);
        QByteArrayView line(bytes.constData() + nl + 1, end - nl - 1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.trimmed().isEmpty())
            lines.prepend(line);
        end = nl < 0 ? 0 : nl;
    }
    out.entries.reserve(lines.size());
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString text = utf8.decode(lines.at(i));
        SongEntry entry;
        if (utf8.hasError() || !ParseLine(text, &entry)) {
            out.entries.clear();
            out.unreadable = true;
            out.reason =
                utf8.hasError()
                    ? QStringLiteral("It is not UTF-8 text")
                    : QStringLiteral("Its line \"%1\" is not a time, a station and a title")
                          .arg(text.left(80));
            return out;
        }
        out.entries.append(entry);
    }
    return out;
}

Contents Read(const QString &path, int limit) {
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    Contents out;
    if (!info.isFile()) {
        out.unreadable = true;
        out.reason = QStringLiteral("It is not a file");
        return out;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out.unreadable = true;
        out.reason = file.errorString();
        return out;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        out.unreadable = true;
        out.reason = file.errorString();
        return out;
    }
    return Parse(bytes, limit);
}

} // namespace HistoryFile
