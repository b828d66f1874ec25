#include "directory/QtDnsResolver.h"

#include "window/Dispatch.h"

#include <QDnsLookup>
#include <memory>

namespace {

// Host names come with the root's dot at the end.
QString HostName(QString name) {
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    return name;
}

QString ErrorText(const QDnsLookup &lookup) {
    return lookup.errorString().isEmpty() ? QStringLiteral("the name service gave no answer")
                                          : lookup.errorString();
}

} // namespace

QtDnsResolver::QtDnsResolver(const QHostAddress &nameserver, QObject *parent)
    : QObject(parent), nameserver_(nameserver) {}

// The lookups are children: they go with the resolver, and their answers
// with them.
QtDnsResolver::~QtDnsResolver() = default;

void QtDnsResolver::Start(int type, const QString &name, std::function<void(QDnsLookup &)> done) {
    auto *lookup = new QDnsLookup(QDnsLookup::Type(type), name, this);
    if (!nameserver_.isNull())
        lookup->setNameserver(nameserver_);
    Connect(lookup, &QDnsLookup::finished, this, [lookup, done = std::move(done)] {
        // Gone once this handler is over, also when `done` raises.
        std::unique_ptr<QDnsLookup, void (*)(QDnsLookup *)> later(
            lookup, [](QDnsLookup *l) { l->deleteLater(); });
        done(*lookup);
    });
    lookup->lookup();
}

void QtDnsResolver::LookupServices(const QString &name, ServicesDone done) {
    Start(QDnsLookup::SRV, name, [done = std::move(done)](QDnsLookup &lookup) {
        QList<Service> services;
        if (lookup.error() != QDnsLookup::NoError && lookup.error() != QDnsLookup::NotFoundError) {
            done(services, ErrorText(lookup));
            return;
        }
        for (const QDnsServiceRecord &r : lookup.serviceRecords())
            services.append({HostName(r.target()), r.port()});
        done(services, QString());
    });
}

void QtDnsResolver::LookupAddresses(const QString &host, AddressesDone done) {
    // A and AAAA are asked at the same time; the answer comes when both are in.
    struct Both {
        QList<QHostAddress> addresses;
        QString error;
        int waiting = 2;
        bool any = false; // one of them succeeded
        AddressesDone done;
    };
    auto both = std::make_shared<Both>();
    both->done = std::move(done);
    for (const auto type : {QDnsLookup::A, QDnsLookup::AAAA}) {
        Start(type, host, [both](QDnsLookup &lookup) {
            if (lookup.error() == QDnsLookup::NoError ||
                lookup.error() == QDnsLookup::NotFoundError) {
                both->any = true;
                for (const QDnsHostAddressRecord &r : lookup.hostAddressRecords())
                    both->addresses.append(r.value());
            } else if (both->error.isEmpty()) {
                both->error = ErrorText(lookup);
            }
            if (--both->waiting == 0)
                both->done(both->addresses, both->any ? QString() : both->error);
        });
    }
}

void QtDnsResolver::LookupName(const QHostAddress &address, NameDone done) {
    Start(QDnsLookup::PTR, ReverseName(address), [done = std::move(done)](QDnsLookup &lookup) {
        if (lookup.error() != QDnsLookup::NoError) {
            done(QString(), ErrorText(lookup));
            return;
        }
        const QList<QDnsDomainNameRecord> names = lookup.pointerRecords();
        done(names.isEmpty() ? QString() : HostName(names.first().value()), QString());
    });
}

QString QtDnsResolver::ReverseName(const QHostAddress &address) {
    bool v4 = false;
    const quint32 ip4 = address.toIPv4Address(&v4);
    if (v4) {
        return QStringLiteral("%1.%2.%3.%4.in-addr.arpa")
            .arg(ip4 & 0xFF)
            .arg((ip4 >> 8) & 0xFF)
            .arg((ip4 >> 16) & 0xFF)
            .arg(ip4 >> 24);
    }
    const Q_IPV6ADDR ip6 = address.toIPv6Address();
    QString name;
    for (int i = 15; i >= 0; --i) {
        const int byte = ip6[i];
        name += QString::number(byte & 0xF, 16) + QLatin1Char('.') +
                QString::number(byte >> 4, 16) + QLatin1Char('.');
    }
    return name + QStringLiteral("ip6.arpa");
}
