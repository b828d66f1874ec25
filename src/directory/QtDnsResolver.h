#pragma once
// DnsResolver on Qt's QDnsLookup: the system's name service, asked from
// Qt's own threads, so the UI thread never waits for it. Lookups still
// running when the resolver goes are dropped with it. UI thread only.
#include "directory/DnsResolver.h"

#include <QObject>

class QDnsLookup;

class QtDnsResolver : public QObject, public DnsResolver {
    Q_OBJECT
public:
    // `nameserver`: ask this server instead of the system's (tests); a null
    // address means the system's.
    explicit QtDnsResolver(const QHostAddress &nameserver = QHostAddress(),
                           QObject *parent = nullptr);
    ~QtDnsResolver() override;

    void LookupServices(const QString &name, ServicesDone done) override;
    void LookupAddresses(const QString &host, AddressesDone done) override;
    void LookupName(const QHostAddress &address, NameDone done) override;

    // "4.3.2.1.in-addr.arpa" for 1.2.3.4, the nibbles under "ip6.arpa" for
    // an IPv6 address: the name whose PTR record names the host.
    static QString ReverseName(const QHostAddress &address);

private:
    // A lookup of `type` for `name`, its answer handed to `done` once.
    void Start(int type, const QString &name, std::function<void(QDnsLookup &)> done);
    QHostAddress nameserver_;
};
