#include "online/HttpForm.h"

namespace HttpForm {

namespace {

bool Unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

} // namespace

QString EncodeFormValue(const QString &value) {
    static const char hex[] = "0123456789ABCDEF";
    // A lone surrogate has no UTF-8 form; toUtf8 gives it the replacement
    // character, which is what a user would see of it anyway.
    const QByteArray utf8 = value.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() * 3);
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (Unreserved(c)) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
    return QString::fromLatin1(out);
}

QByteArray Body(const QStringList &fields) {
    QByteArray body;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            body += '&';
        const QString &field = fields.at(i);
        const qsizetype eq = field.indexOf(QLatin1Char('='));
        if (eq < 0) {
            body += field.toUtf8();
            continue;
        }
        body += field.left(eq + 1).toUtf8() + EncodeFormValue(field.mid(eq + 1)).toLatin1();
    }
    return body;
}

} // namespace HttpForm
