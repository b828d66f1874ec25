#include "online/ProxySetting.h"

#include "platform/CodePage.h"

#include <QStringView>

QByteArray ProxyForEngine(const QString &text) {
    const QByteArray whole = CodePage::ToAnsi(text);
    if (whole.size() <= MaxProxyBytes)
        return whole;
    // Character by character, so that a cut never splits a multi-byte
    // sequence (UTF-8) or a surrogate pair.
    QByteArray cut;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QByteArray bytes = CodePage::ToAnsi(text.mid(i, n));
        if (cut.size() + bytes.size() > MaxProxyBytes)
            break;
        cut += bytes;
        i += n;
    }
    return cut;
}

void ApplyProxy(DynamicBass &engine, const QString &text) {
    if (engine.AudioLibHandle == nullptr)
        return;
    // The engine copies the text during the call, so a local buffer will do.
    // The option takes a pointer, which BASS_SetConfig's 32-bit value cannot
    // carry on this platform; the pointer form of the call takes it.
    const QByteArray proxy = ProxyForEngine(text);
    engine.Bass.BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, proxy.constData());
}
