#pragma once
// Finds the community directory's servers, as the directory asks its
// clients to: the SRV records of _api._tcp.radio-browser.info, else the
// addresses of all.api.radio-browser.info each named by its PTR record
// (HTTPS needs the name); the servers in random order, as https base
// addresses ("https://de1.api.radio-browser.info"). The servers change over
// the years, so none is written into Quorane. UI thread only.
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class DnsResolver;
class QTimer;

class DirectoryDiscovery : public QObject {
    Q_OBJECT
public:
    // `seed` orders the servers; each run of the program draws its own.
    DirectoryDiscovery(DnsResolver &resolver, quint32 seed, QObject *parent = nullptr);
    ~DirectoryDiscovery() override;

    // The servers, or an empty list and the reason, once, later. A Start
    // while one runs replaces it: the earlier one never answers; nor does
    // one still running when this object goes.
    using Done = std::function<void(const QStringList &servers, const QString &error)>;
    void Start(Done done);

    // The longest wait for the whole search; then it fails.
    int TimeoutMs;

    static constexpr char ServiceName[] = "_api._tcp.radio-browser.info";
    static constexpr char AllName[] = "all.api.radio-browser.info";

private:
    struct Run;
    void FromAddresses(const std::shared_ptr<Run> &run, const QString &serviceError);
    void Finish(std::shared_ptr<Run> run, QStringList servers, const QString &error);

    DnsResolver &resolver_;
    quint32 seed_;
    QTimer *timer_;
    std::shared_ptr<Run> run_; // the search under way, if any
};
