#include "platform/CodePage.h"

#include "platform/Utf8Validator.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <langinfo.h>

namespace {
// Set once at first use (UI thread) or by tests; read by every conversion.
QByteArray g_override;

QByteArray LocalePage() {
    static const QByteArray page = [] {
        // The process locale may still be "C" when nothing called setlocale;
        // ask for the environment's locale without changing the process's.
        locale_t loc = newlocale(LC_CTYPE_MASK, "", nullptr);
        QByteArray name = loc ? QByteArray(nl_langinfo_l(CODESET, loc)) : QByteArray();
        if (loc)
            freelocale(loc);
        if (name.isEmpty() || name == "ANSI_X3.4-1968" || name == "ASCII" || name == "US-ASCII")
            name = "UTF-8";
        return name;
    }();
    return page;
}

bool IsUtf8(const QByteArray &page) {
    return page.compare("UTF-8", Qt::CaseInsensitive) == 0 ||
           page.compare("UTF8", Qt::CaseInsensitive) == 0;
}
} // namespace

namespace CodePage {

QByteArray Name() {
    return g_override.isEmpty() ? LocalePage() : g_override;
}

bool SetForTesting(const QByteArray &name) {
    if (name.isEmpty()) {
        g_override.clear();
        return true;
    }
    QStringEncoder probe(name.constData());
    if (!probe.isValid())
        return false;
    g_override = name;
    return true;
}

QByteArray ToAnsi(const QString &text) {
    const QByteArray page = Name();
    if (IsUtf8(page)) {
        // Lone surrogates cannot be written as UTF-8; they become "?" like any
        // other character the page lacks.
        QString clean = text;
        for (qsizetype i = 0; i < clean.size(); ++i) {
            const QChar c = clean.at(i);
            if (c.isHighSurrogate() && i + 1 < clean.size() && clean.at(i + 1).isLowSurrogate()) {
                ++i;
                continue;
            }
            if (c.isSurrogate())
                clean[i] = QLatin1Char('?');
        }
        return clean.toUtf8();
    }
    QStringEncoder enc(page.constData());
    QByteArray bytes = enc.encode(text);
    // The converter marks what the page cannot hold with the control
    // character SUB; Quorane's substitute is "?", as a reader expects.
    if (bytes.contains('\x1A')) {
        if (!text.contains(QChar(0x1A)))
            return bytes.replace('\x1A', '?');
        // The text holds SUB itself: convert character by character.
        bytes.clear();
        for (qsizetype i = 0; i < text.size(); ++i) {
            const qsizetype len = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
            const QString one = text.mid(i, len);
            QStringEncoder single(page.constData());
            const QByteArray b = single.encode(one);
            bytes += (b == "\x1A" && one != QString(QChar(0x1A))) ? QByteArray("?") : b;
            i += len - 1;
        }
    }
    return bytes;
}

bool IsUtf8Page() {
    return IsUtf8(Name());
}

QString FromWindows1252(QByteArrayView bytes) {
    // 0x80 ... 0x9F; everything else is Latin-1.
    static constexpr char16_t High[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    const auto *in = reinterpret_cast<const unsigned char *>(bytes.data());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const unsigned char b = in[i];
        out[i] = (b >= 0x80 && b < 0xA0) ? High[b - 0x80] : char16_t(b);
    }
    return text;
}

QString FromUtf8Or1252(QByteArrayView bytes) {
    if (Utf8Validator::IsValid(bytes))
        return QString::fromUtf8(bytes);
    return FromWindows1252(bytes);
}

QString FromAnsi(const QByteArray &bytes) {
    const QByteArray page = Name();
    if (IsUtf8(page))
        return FromUtf8Or1252(bytes);
    QStringDecoder dec(page.constData());
    return dec.decode(bytes);
}

QString FromUtf8(const QByteArray &bytes) {
    return QString::fromUtf8(bytes);
}

QString AnsiRoundTrip(const QString &text) {
    return FromAnsi(ToAnsi(text));
}

} // namespace CodePage
