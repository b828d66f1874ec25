#include "online/HttpForm.h"

namespace HttpForm {

QString EncodeFormValue(const QString &value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size();) {
        // A surrogate pair is one character.
        qsizetype len = 1;
        char32_t c = value.at(i).unicode();
        if (value.at(i).isHighSurrogate() && i + 1 < value.size() &&
            value.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(value.at(i), value.at(i + 1));
            len = 2;
        }
        const QString character = value.mid(i, len);
        i += len;
        const bool kept = c >= 0x21 && c <= 0x20AC && c != '*' && c != '#' && c != '%' &&
                          c != '<' && c != '>' && c != '[' && c != ']';
        if (kept) {
            out += character;
            continue;
        }
        for (const char byte : character.toUtf8())
            out += QStringLiteral("%%1").arg(uchar(byte), 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

QByteArray Body(const QStringList &fields) {
    QString joined;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            joined += QLatin1Char('&');
        const QString &field = fields.at(i);
        const qsizetype eq = field.indexOf(QLatin1Char('='));
        if (eq < 0) {
            joined += field;
            continue;
        }
        joined += field.left(eq + 1) + EncodeFormValue(field.mid(eq + 1));
    }
    QByteArray bytes;
    bytes.reserve(joined.size());
    for (const QChar ch : joined)
        bytes += ch.unicode() < 0x80 ? char(ch.unicode()) : '?';
    return bytes;
}

} // namespace HttpForm
