#pragma once
// The three name-service questions the search for the directory's servers
// asks. QtDnsResolver answers them from the system's name service; tests
// answer them from a table. Each answer comes back once, later, on the UI
// thread, never from inside the call; after the resolver is destroyed no
// answer comes. UI thread only.
#include <QHostAddress>
#include <QList>
#include <QString>
#include <functional>

class DnsResolver {
public:
    // A service record: a server's host name and port.
    struct Service {
        QString target;
        quint16 port = 0;
    };
    // An error text is empty on success; an answer without records is a
    // success with an empty list.
    using ServicesDone = std::function<void(const QList<Service> &, const QString &error)>;
    using AddressesDone = std::function<void(const QList<QHostAddress> &, const QString &error)>;
    using NameDone = std::function<void(const QString &name, const QString &error)>;

    virtual ~DnsResolver() = default;
    // The SRV records of `name`.
    virtual void LookupServices(const QString &name, ServicesDone done) = 0;
    // The IPv4 and IPv6 addresses of `host`.
    virtual void LookupAddresses(const QString &host, AddressesDone done) = 0;
    // The host name of an address (its PTR record).
    virtual void LookupName(const QHostAddress &address, NameDone done) = 0;
};
