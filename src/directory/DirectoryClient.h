#pragma once
// DirectoryClient: Quorane's HTTP client for the community station
// directory, on Qt Network. Requests run on Qt's own network thread and
// answer through the event loop: the UI thread never waits. Each answer is
// bounded in time and size (DirectoryLimits) and must be the JSON the
// request expects. The servers are the one the settings name, else the
// ones DirectoryDiscovery finds, looked up at the first request; a request
// that fails on one server (no connection, time-out, error status, an
// answer that is not the expected JSON) goes to the next before it fails,
// and the server that answered serves the next requests. Proxies come from
// the desktop's environment (http_proxy, https_proxy, no_proxy); the proxy
// setting of the streams is not used here. UI thread only.
#include <QJsonDocument>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>

class DirectoryDiscovery;
class DnsResolver;
class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

class DirectoryClient : public QObject {
    Q_OBJECT
public:
    // `server`: a base address ("https://host[:port][/prefix]") to use
    // alone, or empty to look the servers up through `resolver`.
    DirectoryClient(const QString &server, std::unique_ptr<DnsResolver> resolver,
                    QObject *parent = nullptr);
    ~DirectoryClient() override;

    // The JSON a request expects at its top level.
    enum class Shape { Array, Object };
    struct Answer {
        QJsonDocument json;
        QString error; // empty on success, else why the directory could not answer
    };
    using Done = std::function<void(const Answer &)>;

    // GETs `pathAndQuery` ("/json/...") and hands the answer to `done` once,
    // later. Returns the request's number, for Cancel.
    quint64 Get(const QString &pathAndQuery, Shape shape, Done done);
    // Drops a request: its answer never comes. Unknown numbers are ignored.
    void Cancel(quint64 id);

    // True while the servers are being looked up.
    bool Discovering() const { return discovering_; }
    // The servers in the order they are tried, the one in use first; empty
    // until they are known.
    QStringList Servers() const;

    // The bounds in use, from DirectoryLimits; tests shorten them.
    int AnswerTimeoutMs;
    qint64 MaxAnswerBytes;
    QNetworkAccessManager &Network() { return *network_; }
    DirectoryDiscovery &Discovery() { return *discovery_; }

    // The User-Agent every request sends: "Quorane/1.02".
    static const QByteArray UserAgent;

private:
    struct Request;
    void ServersFound(const QStringList &servers, const QString &error);
    void Send(quint64 id);
    void Finished(quint64 id);
    void Fail(quint64 id, const QString &reason);
    void Abort(Request &r, const QString &reason);

    QNetworkAccessManager *network_;
    std::unique_ptr<DnsResolver> resolver_;
    DirectoryDiscovery *discovery_;
    QStringList servers_;
    int current_ = 0; // the server that answered last
    bool discovering_ = false;
    quint64 nextId_ = 1;
    std::map<quint64, std::unique_ptr<Request>> requests_;
};
