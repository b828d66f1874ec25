#include "online/ListServerAddress.h"

#include <QByteArray>
#include <QUrl>

namespace {

// Quorane's own list server; the one place that names it.
const char DefaultHost[] = "quorane.org";
constexpr int DefaultPort = 80;

// The address in use, settled at start-up or at the first use. UI thread.
struct Address {
    QString host;
    int port = DefaultPort;
    bool settled = false;
};
Address g_address;

// The environment's address, else the built-in one.
Address Fallback() {
    Address a;
    a.settled = true;
    a.host = QString::fromLatin1(DefaultHost);
    a.port = DefaultPort;
    const QString env = QString::fromLocal8Bit(qgetenv("QUORANE_LIST_SERVER")).trimmed();
    if (env.isEmpty())
        return a;
    QString host;
    int port = DefaultPort;
    if (ListServerAddress::ParseBase(env, &host, &port) ||
        ListServerAddress::ParseBase(QStringLiteral("http://") + env, &host, &port)) {
        a.host = host;
        a.port = port;
    }
    return a;
}

const Address &Current() {
    if (!g_address.settled)
        g_address = Fallback();
    return g_address;
}

} // namespace

bool ListServerAddress::ParseBase(const QString &text, QString *host, int *port) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("http") || url.host().isEmpty() ||
        !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment() ||
        !(url.path().isEmpty() || url.path() == QLatin1String("/")) ||
        url.host().contains(QLatin1Char(':'))) // the client speaks IPv4
        return false;
    const int p = url.port(DefaultPort);
    if (p <= 0 || p > 65535)
        return false;
    *host = url.host();
    *port = p;
    return true;
}

QString ListServerAddress::Configure(const QString &setting) {
    g_address = Fallback();
    if (setting.trimmed().isEmpty())
        return QString();
    QString host;
    int port = DefaultPort;
    if (!ParseBase(setting, &host, &port))
        return QStringLiteral("The list server \"%1\" named by ListServer in the settings file is "
                              "not an http address such as http://lists.example.org:8080. "
                              "Quorane uses %2 instead")
            .arg(setting, Url(QStringLiteral("/")));
    g_address.host = host;
    g_address.port = port;
    return QString();
}

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
