#include "directory/DirectoryDiscovery.h"

#include "directory/DirectoryLimits.h"
#include "directory/DnsResolver.h"
#include "window/Dispatch.h"

#include <QRandomGenerator>
#include <QTimer>
#include <algorithm>

// One search; answers of a search that was replaced or timed out find it
// finished and are dropped.
struct DirectoryDiscovery::Run {
    Done done;
    bool finished = false;
    QStringList names; // PTR answers so far
    int namesAwaited = 0;
};

namespace {

QString BaseUrl(QString host, quint16 port) {
    // A name from the name service may end in the root's dot.
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    QString url = QStringLiteral("https://") + host.toLower();
    if (port != 0 && port != 443)
        url += QLatin1Char(':') + QString::number(port);
    return url;
}

QString NotFound(const QString &why) {
    return QStringLiteral("no server of the directory was found (%1)").arg(why);
}

} // namespace

DirectoryDiscovery::DirectoryDiscovery(DnsResolver &resolver, quint32 seed, QObject *parent)
    : QObject(parent), TimeoutMs(DirectoryLimits::DiscoveryTimeoutMs), resolver_(resolver),
      seed_(seed), timer_(new QTimer(this)) {
    timer_->setSingleShot(true);
    Connect(timer_, &QTimer::timeout, this, [this] {
        if (run_)
            Finish(run_, {}, NotFound(QStringLiteral("the name service did not answer in time")));
    });
}

DirectoryDiscovery::~DirectoryDiscovery() {
    // An answer that still comes finds its search over and leaves this
    // object alone.
    if (run_)
        run_->finished = true;
}

void DirectoryDiscovery::Start(Done done) {
    if (run_)
        run_->finished = true;
    auto run = std::make_shared<Run>();
    run->done = std::move(done);
    run_ = run;
    timer_->start(TimeoutMs);
    resolver_.LookupServices(
        QString::fromLatin1(ServiceName),
        [this, run](const QList<DnsResolver::Service> &services, const QString &error) {
            if (run->finished)
                return;
            QStringList servers;
            for (const DnsResolver::Service &s : services) {
                // "." is the record that says there is no such service.
                if (!s.target.isEmpty() && s.target != QLatin1String("."))
                    servers.append(BaseUrl(s.target, s.port));
            }
            if (servers.isEmpty())
                FromAddresses(run, error);
            else
                Finish(run, servers, QString());
        });
}

void DirectoryDiscovery::FromAddresses(const std::shared_ptr<Run> &run,
                                       const QString &serviceError) {
    resolver_.LookupAddresses(
        QString::fromLatin1(AllName),
        [this, run, serviceError](const QList<QHostAddress> &found, const QString &error) {
            if (run->finished)
                return;
            QList<QHostAddress> addresses;
            for (const QHostAddress &a : found) {
                if (!a.isNull() && !addresses.contains(a))
                    addresses.append(a);
            }
            if (addresses.isEmpty()) {
                const QString why = !error.isEmpty() ? error
                                    : !serviceError.isEmpty()
                                        ? serviceError
                                        : QStringLiteral("the name service found none");
                Finish(run, {}, NotFound(why));
                return;
            }
            run->namesAwaited = int(addresses.size());
            for (const QHostAddress &a : addresses) {
                resolver_.LookupName(a, [this, run](const QString &name, const QString &) {
                    if (run->finished)
                        return;
                    // An address without a name cannot be reached by HTTPS: left out.
                    if (!name.isEmpty())
                        run->names.append(name);
                    if (--run->namesAwaited > 0)
                        return;
                    QStringList servers;
                    for (const QString &n : run->names)
                        servers.append(BaseUrl(n, 443));
                    Finish(run, servers,
                           NotFound(QStringLiteral("the addresses of %1 have no names")
                                        .arg(QLatin1String(AllName))));
                });
            }
        });
}

// `run` by value: it may be run_ itself, which is reset here.
void DirectoryDiscovery::Finish(std::shared_ptr<Run> run, QStringList servers,
                                const QString &error) {
    run->finished = true;
    if (run_ == run) {
        run_.reset();
        timer_->stop();
    }
    servers.removeDuplicates();
    // Spread the listeners over the servers; a new order every run.
    QRandomGenerator random(seed_++);
    std::shuffle(servers.begin(), servers.end(), random);
    Done done = std::move(run->done);
    done(servers, servers.isEmpty() ? error : QString());
}
