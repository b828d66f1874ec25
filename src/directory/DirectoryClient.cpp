#include "directory/DirectoryClient.h"

#include "directory/DirectoryDiscovery.h"
#include "directory/DirectoryLimits.h"
#include "directory/DnsResolver.h"
#include "window/Dispatch.h"

#include <QJsonParseError>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>

const QByteArray DirectoryClient::UserAgent = QByteArrayLiteral("Quorane/1.02");

namespace {

// The desktop's proxies, read from the environment at each request, for
// this client alone: the rest of the program is not changed.
class DesktopProxies : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override {
        return systemProxyForQuery(query);
    }
};

QString Seconds(int ms) {
    return QString::number(ms / 1000.0, 'g', 3);
}

QString TooLarge(const QString &host, qint64 max) {
    const QString size = max >= 1024 * 1024 && max % (1024 * 1024) == 0
                             ? QStringLiteral("%1 MiB").arg(max / (1024 * 1024))
                             : QStringLiteral("%1 bytes").arg(max);
    return host + QStringLiteral(" sent more than ") + size;
}

} // namespace

// One request, from Get to its answer, across the servers it tries.
struct DirectoryClient::Request {
    QString path;
    Shape shape = Shape::Array;
    Done done;
    int tried = 0;  // servers that failed it so far
    int server = 0; // the server asked now
    QNetworkReply *reply = nullptr;
    QTimer *timer = nullptr; // the answer's time bound
    QByteArray body;
    QString abortReason; // set when this client ended the transfer
    ~Request() {
        if (timer) {
            timer->stop();
            timer->deleteLater();
        }
    }
};

DirectoryClient::DirectoryClient(const QString &server, std::unique_ptr<DnsResolver> resolver,
                                 QObject *parent)
    : QObject(parent), AnswerTimeoutMs(DirectoryLimits::AnswerTimeoutMs),
      MaxAnswerBytes(DirectoryLimits::MaxAnswerBytes), network_(new QNetworkAccessManager(this)),
      resolver_(std::move(resolver)),
      discovery_(new DirectoryDiscovery(*resolver_, QRandomGenerator::global()->generate(), this)) {
    network_->setProxyFactory(new DesktopProxies);
    network_->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    if (!server.isEmpty())
        servers_.append(server);
}

DirectoryClient::~DirectoryClient() {
    // The replies go with the network manager; their answers are not wanted.
    for (auto &[id, r] : requests_) {
        if (r->reply) {
            r->reply->disconnect(this);
            r->reply->abort();
        }
    }
}

QStringList DirectoryClient::Servers() const {
    QStringList order;
    for (qsizetype i = 0; i < servers_.size(); ++i)
        order.append(servers_[(current_ + i) % servers_.size()]);
    return order;
}

quint64 DirectoryClient::Get(const QString &pathAndQuery, Shape shape, Done done) {
    const quint64 id = nextId_++;
    auto r = std::make_unique<Request>();
    r->path = pathAndQuery;
    r->shape = shape;
    r->done = std::move(done);
    requests_.emplace(id, std::move(r));
    if (!servers_.isEmpty()) {
        Send(id);
    } else if (!discovering_) {
        discovering_ = true;
        discovery_->Start([this](const QStringList &servers, const QString &error) {
            ServersFound(servers, error);
        });
    }
    return id;
}

void DirectoryClient::Cancel(quint64 id) {
    const auto it = requests_.find(id);
    if (it == requests_.end())
        return;
    QNetworkReply *reply = it->second->reply;
    requests_.erase(it);
    if (reply) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void DirectoryClient::ServersFound(const QStringList &servers, const QString &error) {
    discovering_ = false;
    servers_ = servers;
    current_ = 0;
    // The requests that waited for the servers; their callbacks may start or
    // cancel others meanwhile, so each is looked up again.
    std::vector<quint64> waiting;
    for (const auto &[id, r] : requests_) {
        if (!r->reply)
            waiting.push_back(id);
    }
    for (const quint64 id : waiting) {
        const auto it = requests_.find(id);
        if (it == requests_.end())
            continue;
        if (servers_.isEmpty()) {
            Done done = std::move(it->second->done);
            requests_.erase(it);
            done({QJsonDocument(), error});
        } else {
            Send(id);
        }
    }
}

void DirectoryClient::Send(quint64 id) {
    Request &r = *requests_.at(id);
    r.server = int((current_ + r.tried) % servers_.size());
    r.body.clear();
    r.abortReason.clear();
    QNetworkRequest request(QUrl(servers_[r.server] + r.path));
    request.setHeader(QNetworkRequest::UserAgentHeader, UserAgent);
    request.setRawHeader("Accept", "application/json");
    QNetworkReply *reply = network_->get(request);
    r.reply = reply;
    const QString host = QUrl(servers_[r.server]).authority();
    Connect(reply, &QNetworkReply::metaDataChanged, this, [this, id, reply, host] {
        const auto it = requests_.find(id);
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (it != requests_.end() && length.isValid() && length.toLongLong() > MaxAnswerBytes)
            Abort(*it->second, TooLarge(host, MaxAnswerBytes));
    });
    Connect(reply, &QNetworkReply::readyRead, this, [this, id, reply, host] {
        const auto it = requests_.find(id);
        if (it == requests_.end() || !it->second->abortReason.isEmpty())
            return;
        Request &req = *it->second;
        req.body += reply->read(MaxAnswerBytes + 1 - req.body.size());
        if (req.body.size() > MaxAnswerBytes)
            Abort(req, TooLarge(host, MaxAnswerBytes));
    });
    Connect(reply, &QNetworkReply::finished, this, [this, id] { Finished(id); });
    if (!r.timer) {
        r.timer = new QTimer(this);
        r.timer->setSingleShot(true);
        Connect(r.timer, &QTimer::timeout, this, [this, id] {
            const auto it = requests_.find(id);
            if (it == requests_.end() || !it->second->reply)
                return;
            const QString at = QUrl(servers_[it->second->server]).authority();
            Abort(*it->second,
                  at + QStringLiteral(" sent no answer within %1 s").arg(Seconds(AnswerTimeoutMs)));
        });
    }
    r.timer->start(AnswerTimeoutMs);
}

void DirectoryClient::Abort(Request &r, const QString &reason) {
    // The reply's finished comes from abort(); Finished takes it from there.
    r.abortReason = reason;
    if (r.reply)
        r.reply->abort();
}

void DirectoryClient::Finished(quint64 id) {
    const auto it = requests_.find(id);
    if (it == requests_.end() || !it->second->reply)
        return;
    Request &r = *it->second;
    QNetworkReply *reply = r.reply;
    r.reply = nullptr;
    r.timer->stop();
    reply->deleteLater();
    const QString host = QUrl(servers_[r.server]).authority();

    QString reason = r.abortReason;
    if (reason.isEmpty()) {
        r.body += reply->read(MaxAnswerBytes + 1 - r.body.size());
        if (r.body.size() > MaxAnswerBytes)
            reason = TooLarge(host, MaxAnswerBytes);
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reason.isEmpty() && status >= 300) {
        const QString phrase =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        reason = QStringLiteral("%1 answered %2 %3").arg(host).arg(status).arg(phrase).trimmed();
    } else if (reason.isEmpty() && reply->error() != QNetworkReply::NoError) {
        reason = host + QStringLiteral(": ") + reply->errorString();
    }
    QJsonDocument json;
    if (reason.isEmpty()) {
        QJsonParseError parse{};
        json = QJsonDocument::fromJson(r.body, &parse);
        const bool shaped = r.shape == Shape::Array ? json.isArray() : json.isObject();
        if (parse.error != QJsonParseError::NoError || !shaped) {
            const QByteArray type =
                reply->header(QNetworkRequest::ContentTypeHeader).toByteArray().toLower();
            reason = type.contains("html")
                         ? host + QStringLiteral(" sent a web page, not the directory's data")
                         : host + QStringLiteral(" sent something other than the directory's "
                                                 "data");
        }
    }
    if (reason.isEmpty()) {
        current_ = r.server;
        Done done = std::move(r.done);
        requests_.erase(it);
        done({json, QString()});
        return;
    }
    Fail(id, reason);
}

void DirectoryClient::Fail(quint64 id, const QString &reason) {
    Request &r = *requests_.at(id);
    ++r.tried;
    if (r.tried < servers_.size()) {
        Send(id);
        return;
    }
    QString message = reason;
    if (r.tried > 1)
        message += QStringLiteral(" (the other %1 servers failed too)").arg(r.tried - 1);
    Done done = std::move(r.done);
    requests_.erase(id);
    done({QJsonDocument(), message});
}
