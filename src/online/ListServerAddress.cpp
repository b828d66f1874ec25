#include "online/ListServerAddress.h"

#include <QByteArray>

namespace {

// Quorane's own list server; the one place that names it.
const char DefaultHost[] = "quorane.org";
constexpr int DefaultPort = 80;

// The address in use, settled at the first use. UI thread.
struct Address {
    QString host;
    int port = DefaultPort;
    bool settled = false;
};
Address g_address;

const Address &Current() {
    if (!g_address.settled) {
        g_address.settled = true;
        g_address.host = QString::fromLatin1(DefaultHost);
        g_address.port = DefaultPort;
        const QByteArray env = qgetenv("QUORANE_LIST_SERVER").trimmed();
        if (!env.isEmpty()) {
            const qsizetype colon = env.lastIndexOf(':');
            bool ok = false;
            const int port = colon > 0 ? env.mid(colon + 1).toInt(&ok) : DefaultPort;
            if (colon <= 0 || (ok && port > 0 && port < 65536)) {
                g_address.host = QString::fromLatin1(colon > 0 ? env.left(colon) : env);
                g_address.port = port;
            }
        }
    }
    return g_address;
}

} // namespace

QString ListServerAddress::Host() {
    return Current().host;
}

int ListServerAddress::Port() {
    return Current().port;
}

QString ListServerAddress::Url(const QString &path) {
    const Address &a = Current();
    QString url = QStringLiteral("http://") + a.host;
    if (a.port != 80)
        url += QLatin1Char(':') + QString::number(a.port);
    return url + path;
}

void ListServerAddress::SetForTesting(const QString &host, int port) {
    g_address.settled = !host.isEmpty();
    g_address.host = host;
    g_address.port = port;
}
