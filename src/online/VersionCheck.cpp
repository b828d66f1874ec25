#include "online/VersionCheck.h"

#include <QRegularExpression>
#include <QStringList>

namespace VersionCheck {

namespace {

// The text without blanks and line ends around it and without a leading
// UTF-8 mark, which a text editor may have saved into the file: as the
// character itself, or as its three bytes read one character each.
QString Trimmed(const QString &text) {
    QString t = text.trimmed();
    for (const QString &mark : {QStringLiteral("\uFEFF"), QStringLiteral("\u00EF\u00BB\u00BF")})
        if (t.startsWith(mark))
            return t.mid(mark.size()).trimmed();
    return t;
}

// The dot-separated parts of a version number, or none when `text` is not one.
QStringList Parts(const QString &text) {
    static const QRegularExpression version(QStringLiteral("^[0-9]{1,9}(\\.[0-9]{1,30})*$"));
    const QString trimmed = Trimmed(text);
    if (!version.match(trimmed).hasMatch())
        return {};
    return trimmed.split(QLatin1Char('.'));
}

int CompareParts(const QStringList &a, const QStringList &b) {
    const int major = a.at(0).toInt() - b.at(0).toInt();
    if (major != 0)
        return major < 0 ? -1 : 1;
    for (qsizetype i = 1; i < qMax(a.size(), b.size()); ++i) {
        // Decimal fractions: pad with zeros on the right to the same length.
        QString x = i < a.size() ? a.at(i) : QString();
        QString y = i < b.size() ? b.at(i) : QString();
        const qsizetype width = qMax(x.size(), y.size());
        x = x.leftJustified(width, QLatin1Char('0'));
        y = y.leftJustified(width, QLatin1Char('0'));
        const int c = x.compare(y);
        if (c != 0)
            return c < 0 ? -1 : 1;
    }
    return 0;
}

} // namespace

Order Compare(const QString &answer, const QString &own) {
    const QStringList theirs = Parts(answer);
    const QStringList ours = Parts(own);
    if (theirs.isEmpty() || ours.isEmpty())
        return Order::NotAVersion;
    const int c = CompareParts(theirs, ours);
    return c > 0 ? Order::Newer : c < 0 ? Order::Older : Order::Same;
}

} // namespace VersionCheck
