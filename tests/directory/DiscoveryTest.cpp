// Finding the directory's servers: the order and fallbacks of
// DirectoryDiscovery against a name service of the test's own, and the real
// name service (QtDnsResolver) when it cannot answer, as on a machine
// without a network.
#include "FindStationsFixture.h"
#include "directory/DirectoryDiscovery.h"
#include "directory/QtDnsResolver.h"

#include <QTimer>
#include <map>
#include <set>

namespace {

// A name service from tables. Answers come later, in the event loop, as the
// real one's do; every question is recorded. A name absent from a table is
// an error; `silent` questions are never answered.
class TableResolver : public DnsResolver {
public:
    std::map<QString, QList<Service>> services;
    std::map<QString, QList<QHostAddress>> addresses;
    std::map<QString, QString> names; // address text -> host name
    QString error = QStringLiteral("Server failure");
    bool silent = false;
    QStringList asked;

    void LookupServices(const QString &name, ServicesDone done) override {
        asked.append("SRV " + name);
        const auto it = services.find(name);
        const bool known = it != services.end();
        Later([records = known ? it->second : QList<Service>(), e = known ? QString() : error,
               done] { done(records, e); });
    }
    void LookupAddresses(const QString &host, AddressesDone done) override {
        asked.append("A/AAAA " + host);
        const auto it = addresses.find(host);
        const bool known = it != addresses.end();
        Later([found = known ? it->second : QList<QHostAddress>(), e = known ? QString() : error,
               done] { done(found, e); });
    }
    void LookupName(const QHostAddress &address, NameDone done) override {
        asked.append("PTR " + address.toString());
        const auto it = names.find(address.toString());
        const bool known = it != names.end();
        Later([name = known ? it->second : QString(), e = known ? QString() : error, done] {
            done(name, e);
        });
    }

private:
    void Later(std::function<void()> f) {
        if (!silent)
            QTimer::singleShot(0, std::move(f));
    }
};

struct Found {
    QStringList servers;
    QString error;
    int answers = 0;
};

// Runs one discovery to its end.
Found Discover(TableResolver &dns, quint32 seed, int timeoutMs = 5000) {
    DirectoryDiscovery discovery(dns, seed);
    discovery.TimeoutMs = timeoutMs;
    Found found;
    discovery.Start([&](const QStringList &servers, const QString &error) {
        found.servers = servers;
        found.error = error;
        ++found.answers;
    });
    WaitUntil([&] { return found.answers > 0; }, timeoutMs + 2000);
    QTest::qWait(5); // a second answer would come now
    return found;
}

const QString Srv = QString::fromLatin1(DirectoryDiscovery::ServiceName);
const QString All = QString::fromLatin1(DirectoryDiscovery::AllName);

} // namespace

TEST(Discovery, ServiceRecordsComeFirstEveryServerOnceInEveryOrder) {
    TableResolver dns;
    dns.services[Srv] = {{"de2.api.radio-browser.info.", 443},
                         {"fi1.api.radio-browser.info", 443},
                         {"AT1.api.radio-browser.info.", 8443},
                         {"fi1.api.radio-browser.info.", 443}};
    dns.addresses[All] = {QHostAddress("192.0.2.1")};
    std::set<QString> firsts;
    std::set<QStringList> orders;
    for (quint32 seed = 0; seed < 40; ++seed) {
        const Found f = Discover(dns, seed);
        ASSERT_EQ(f.answers, 1);
        EXPECT_EQ(f.error, QString());
        QStringList sorted = f.servers;
        sorted.sort();
        ASSERT_EQ(sorted, QStringList({"https://at1.api.radio-browser.info:8443",
                                       "https://de2.api.radio-browser.info",
                                       "https://fi1.api.radio-browser.info"}));
        firsts.insert(f.servers.first());
        orders.insert(f.servers);
    }
    // Spread: each server leads sometimes, and most orders come up.
    EXPECT_EQ(firsts.size(), size_t(3));
    EXPECT_GE(orders.size(), size_t(5));
    // The addresses were never needed.
    EXPECT_FALSE(dns.asked.contains("A/AAAA " + All));
}

TEST(Discovery, WithoutServiceRecordsTheAddressesAreNamedByTheirPointers) {
    struct Case {
        const char *what;
        bool srvFails; // else it answers with no records
    };
    for (const Case c : {Case{"SRV fails", true}, Case{"SRV empty", false}}) {
        TableResolver dns;
        if (!c.srvFails)
            dns.services[Srv] = {};
        dns.addresses[All] = {QHostAddress("192.0.2.10"), QHostAddress("2001:db8::10"),
                              QHostAddress("192.0.2.11"), QHostAddress("192.0.2.12"),
                              QHostAddress("192.0.2.10")};
        dns.names = {{"192.0.2.10", "de1.api.radio-browser.info."},
                     {"2001:db8::10", "de1.api.radio-browser.info."},
                     {"192.0.2.11", "nl1.api.radio-browser.info."}};
        const Found f = Discover(dns, 7);
        QStringList sorted = f.servers;
        sorted.sort();
        // The IPv4 and IPv6 addresses of one host make one server; an
        // address without a name is left out (HTTPS needs the name).
        EXPECT_EQ(sorted, QStringList({"https://de1.api.radio-browser.info",
                                       "https://nl1.api.radio-browser.info"}))
            << c.what;
        EXPECT_EQ(f.error, QString()) << c.what;
        EXPECT_EQ(dns.asked.count("PTR 192.0.2.10"), 1) << c.what;
    }
}

TEST(Discovery, WhenNothingIsFoundTheReasonIsGiven) {
    struct Case {
        const char *what;
        std::function<void(TableResolver &)> set;
        QString error;
    };
    const Case cases[] = {
        {"no name service", [](TableResolver &) {},
         "no server of the directory was found (Server failure)"},
        {"addresses without names",
         [](TableResolver &d) { d.addresses[All] = {QHostAddress("192.0.2.1")}; },
         "no server of the directory was found (the addresses of " + All + " have no names)"},
        {"no answer in time", [](TableResolver &d) { d.silent = true; },
         "no server of the directory was found (the name service did not answer in time)"},
    };
    for (const Case &c : cases) {
        TableResolver dns;
        c.set(dns);
        const Found f = Discover(dns, 1, 300);
        EXPECT_EQ(f.answers, 1) << c.what;
        EXPECT_TRUE(f.servers.isEmpty()) << c.what;
        EXPECT_EQ(f.error, c.error) << c.what;
    }
}

TEST(Discovery, AnswersThatComeAfterTheSearchIsGoneAreDropped) {
    TableResolver dns;
    dns.services[Srv] = {{"de1.api.radio-browser.info", 443}};
    int answers = 0;
    auto discovery = std::make_unique<DirectoryDiscovery>(dns, 3);
    discovery->Start([&](const QStringList &, const QString &) { ++answers; });
    discovery.reset(); // the window closed at once: the answer is on its way
    QTest::qWait(20);
    EXPECT_EQ(answers, 0);
    EXPECT_EQ(dns.asked, QStringList({"SRV " + Srv}));
}

TEST(Discovery, ReverseNamesOfAddresses) {
    EXPECT_EQ(QtDnsResolver::ReverseName(QHostAddress("91.132.145.114")),
              "114.145.132.91.in-addr.arpa");
    EXPECT_EQ(QtDnsResolver::ReverseName(QHostAddress("2001:db8::567:89ab")),
              "b.a.9.8.7.6.5.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.8.b.d.0.1.0.0.2.ip6.arpa");
}

using DiscoveryInTheWindow = FindStationsFixture;

TEST_F(DiscoveryInTheWindow, TheRealNameServiceWithoutAnAnswerIsToldInTheStatusLine) {
    // A name server that is not there (nothing listens on this loopback
    // address), as for a machine without a network: the lookups fail.
    form = MakeWindow(QString(), std::make_unique<QtDnsResolver>(QHostAddress("127.0.0.254")));
    form->Client->Discovery().TimeoutMs = 8000;
    form->Open();
    EXPECT_EQ(Status(), "Looking for the station directory...");
    ASSERT_TRUE(WaitIdle(12000));
    const QString prefix = "The station directory cannot be reached: no server of the "
                           "directory was found (";
    EXPECT_TRUE(Status().startsWith(prefix)) << Status().toStdString();
    // The name service's own reason, not the end of the wait.
    EXPECT_FALSE(Status().contains("in time")) << Status().toStdString();
    EXPECT_TRUE(form->Client->Servers().isEmpty());
    EXPECT_TRUE(app.prompts.ErrorBoxes().isEmpty());
    // The window goes on: typing looks for the servers again.
    QStringList statuses;
    QObject::connect(form->Search, &DirectorySearch::StatusChanged,
                     [&](const QString &s) { statuses.append(s); });
    TypeName("jazz");
    ASSERT_TRUE(WaitFor([&] { return statuses.size() == 2; }, 12000));
    EXPECT_EQ(statuses[0], "Looking for the station directory...");
    EXPECT_TRUE(statuses[1].startsWith(prefix)) << statuses[1].toStdString();
}
