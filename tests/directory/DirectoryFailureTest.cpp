// What the find window does when the directory fails it: every failure is
// one line in the window's status, nothing else changes, no box pops up,
// and the next search works. With several servers, the next one is asked
// before anything is reported; over HTTPS a server whose certificate does
// not hold is one that failed.
#include "FindStationsFixture.h"
#include "TlsFront.h"
#include "directory/DirectoryDiscovery.h"
#include "directory/DirectoryLimits.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>
#include <map>

namespace {

using DirectoryFailure = FindStationsFixture;

// SRV records of the test's choosing, answered at once; the other lookups
// find nothing.
class ServiceRecords : public DnsResolver {
public:
    explicit ServiceRecords(QList<Service> records) : records_(std::move(records)) {}
    void LookupServices(const QString &, ServicesDone done) override {
        QTimer::singleShot(0, [records = records_, done] { done(records, QString()); });
    }
    void LookupAddresses(const QString &, AddressesDone done) override {
        QTimer::singleShot(0, [done] { done({}, QString()); });
    }
    void LookupName(const QHostAddress &, NameDone done) override {
        QTimer::singleShot(0, [done] { done(QString(), QString()); });
    }

private:
    QList<Service> records_;
};

// The test certificate authority trusted for the rest of the test, as the
// system's authorities are for the real directory.
class TrustTestCa {
public:
    TrustTestCa() : old_(QSslConfiguration::defaultConfiguration()) {
        QFile ca(QString::fromStdString(quorane::test::testCertificate("ca.pem")));
        EXPECT_TRUE(ca.open(QIODevice::ReadOnly));
        QSslConfiguration c = old_;
        c.addCaCertificates(QSslCertificate::fromData(ca.readAll()));
        QSslConfiguration::setDefaultConfiguration(c);
    }
    ~TrustTestCa() { QSslConfiguration::setDefaultConfiguration(old_); }

private:
    QSslConfiguration old_;
};

quorane::test::ListAnswer Html() {
    quorane::test::ListAnswer a;
    a.contentType = "text/html; charset=utf-8";
    a.body = "<!DOCTYPE html><html><body>Maintenance</body></html>";
    return a;
}
quorane::test::ListAnswer Body(std::string body, int status = 200, std::string reason = "") {
    quorane::test::ListAnswer a;
    a.status = status;
    a.reason = std::move(reason);
    a.contentType = "application/json";
    a.body = std::move(body);
    return a;
}

} // namespace

TEST_F(DirectoryFailure, EachBrokenAnswerIsOneLineOfStatusAndTheWindowGoesOn) {
    Open();
    TypeName("quokka");
    ASSERT_TRUE(WaitIdle());
    const QStringList shown = Names();
    ASSERT_EQ(shown.size(), 4);
    const std::string at = "127.0.0.1:" + std::to_string(directory.port());
    quorane::test::ListAnswer hung;
    hung.silent = true;
    quorane::test::ListAnswer cutShort = Body(std::string(4000, ' ') + "[]");
    cutShort.closeAfterBodyBytes = 1000;
    const struct {
        const char *what;
        quorane::test::ListAnswer answer;
        std::string reason;
    } cases[] = {
        {"a 500", Body("{\"error\": 1}", 500), at + " answered 500 Internal Server Error"},
        {"a 503", Body("", 503, "Service Unavailable"), at + " answered 503 Service Unavailable"},
        {"a web page", Html(), at + " sent a web page, not the directory's data"},
        {"broken JSON", Body("[{\"name\": \"Quokka"),
         at + " sent something other than the directory's data"},
        {"an object for a list", Body("{\"name\": \"x\"}"),
         at + " sent something other than the directory's data"},
        {"an answer cut short", cutShort, at + ": Connection closed"},
        {"a hung server", hung, at + " sent no answer within 1 s"},
    };
    form->Client->AnswerTimeoutMs = 1000;
    for (const auto &c : cases) {
        directory.overrideSearch(c.answer);
        TypeName(QString("quokka %1").arg(c.what));
        ASSERT_TRUE(WaitIdle(8000)) << c.what;
        EXPECT_EQ(Status().toStdString(), "The station directory cannot be reached: " + c.reason)
            << c.what;
        // The results shown are the last ones that came.
        EXPECT_EQ(Names(), shown) << c.what;
        // Enter plays what is shown.
        Key(Qt::Key_Return);
        ASSERT_FALSE(host.played.isEmpty());
        EXPECT_EQ(host.played.last().name, shown[0]);
    }
    EXPECT_TRUE(app.prompts.ErrorBoxes().isEmpty());
    directory.clearSearchOverride();
    TypeName("quokka rock");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Names(), QStringList({"Quokka Rock"}));
    EXPECT_EQ(Status(), "1 station, showing 1-1");
}

TEST_F(DirectoryFailure, AnAnswerBeyondTheSizeBoundIsAbortedAsItComes) {
    form->Client->MaxAnswerBytes = 50000;
    Open();
    // A page of 100 stations is about 90 kB.
    EXPECT_EQ(Status().toStdString(), "The station directory cannot be reached: 127.0.0.1:" +
                                          std::to_string(directory.port()) +
                                          " sent more than 50000 bytes");
    EXPECT_EQ(form->Results->Count(), 0);
    // An answer without end: the bound holds as the bytes come, long before
    // the answer's time is up.
    quorane::test::ListAnswer endless;
    endless.raw = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n[";
    endless.endless = std::string(65536, '0').replace(1, 1, ",");
    endless.endlessBytes = 1LL << 30;
    directory.overrideSearch(endless);
    form->Client->AnswerTimeoutMs = 1500;
    TypeName("x");
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(Status().endsWith("sent more than 50000 bytes")) << Status().toStdString();
    form->Client->MaxAnswerBytes = 16 * 1024 * 1024;
    // The fixture may still be writing the endless answer into the closed
    // connection: the next answer gets the usual time.
    form->Client->AnswerTimeoutMs = DirectoryLimits::AnswerTimeoutMs;
    directory.clearSearchOverride();
    TypeName("quokka rock");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Names(), QStringList({"Quokka Rock"})) << Status().toStdString();
}

TEST_F(DirectoryFailure, TheNextMirrorAnswersWhenTheOneInUseFails) {
    TrustTestCa trust;
    using quorane::test::testCertificate;
    using quorane::test::TlsFront;
    quorane::test::DirectoryServer second, third;
    for (auto *d : {&second, &third}) {
        AddQuokkas(*d);
        d->generate(200);
    }
    TlsFront a(directory.port(), testCertificate("good.pem"), testCertificate("good.key"));
    TlsFront b(second.port(), testCertificate("good.pem"), testCertificate("good.key"));
    TlsFront c(third.port(), testCertificate("good.pem"), testCertificate("good.key"));
    form = MakeWindow(
        QString(),
        std::make_unique<ServiceRecords>(QList<DnsResolver::Service>{
            {"localhost.", a.port()}, {"localhost.", b.port()}, {"localhost.", c.port()}}));
    Open();
    ASSERT_EQ(form->Results->Count(), 100) << Status().toStdString();
    const QStringList order = form->Client->Servers();
    ASSERT_EQ(order.size(), 3);
    for (const QString &s : order)
        EXPECT_TRUE(s.startsWith("https://localhost:")) << s.toStdString();
    // The server in use, and the one after it, now fail.
    std::map<QString, quorane::test::DirectoryServer *> byUrl = {
        {QString("https://localhost:%1").arg(a.port()), &directory},
        {QString("https://localhost:%1").arg(b.port()), &second},
        {QString("https://localhost:%1").arg(c.port()), &third}};
    byUrl[order[0]]->overrideAll(Body("", 500));
    byUrl[order[1]]->overrideAll(Html());
    TypeName("quokka rock");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Names(), QStringList({"Quokka Rock"}));
    for (int i = 0; i < 3; ++i) {
        const auto searches = byUrl[order[i]]->requests();
        ASSERT_FALSE(searches.empty()) << i;
        EXPECT_EQ(searches.back().params.at("name"), "quokka rock") << "server " << i;
    }
    // The one that answered serves from now on.
    EXPECT_EQ(form->Client->Servers().first(), order[2]);
    // When all of them fail (from the one in use on), the last reason is
    // told and how many failed.
    byUrl[order[2]]->overrideAll(Body("", 502));
    TypeName("quokka jazz");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Status(), QString("The station directory cannot be reached: localhost:%1 sent a web "
                                "page, not the directory's data (the other 2 servers failed too)")
                            .arg(QUrl(order[1]).port()));
    EXPECT_EQ(Names(), QStringList({"Quokka Rock"}));
}

TEST_F(DirectoryFailure, AServerWhoseCertificateDoesNotHoldIsPassedOver) {
    TrustTestCa trust;
    using quorane::test::testCertificate;
    using quorane::test::TlsFront;
    for (const char *bad : {"wronghost", "expired", "selfsigned"}) {
        quorane::test::DirectoryServer good;
        AddQuokkas(good);
        TlsFront badFront(directory.port(), testCertificate(std::string(bad) + ".pem"),
                          testCertificate(std::string(bad) + ".key"));
        TlsFront goodFront(good.port(), testCertificate("good.pem"), testCertificate("good.key"));
        // The good server alone is in use after the first search; then the
        // bad one is the only one left.
        form = MakeWindow(QString(),
                          std::make_unique<ServiceRecords>(QList<DnsResolver::Service>{
                              {"localhost", badFront.port()}, {"localhost", goodFront.port()}}));
        Open();
        // The five working stations of the good one.
        EXPECT_EQ(form->Results->Count(), 5) << bad << ": " << Status().toStdString();
        EXPECT_EQ(form->Client->Servers().first(),
                  QString("https://localhost:%1").arg(goodFront.port()))
            << bad;
        // No request went through the bad server.
        EXPECT_TRUE(directory.requests().empty()) << bad;
    }
}

TEST_F(DirectoryFailure, AConfiguredServerThatRefusesIsReportedAndNothingElseIsAsked) {
    // A port that nothing listens on.
    quint16 closed = 0;
    {
        quorane::test::DirectoryServer gone;
        closed = gone.port();
    }
    form = MakeWindow(QString("http://127.0.0.1:%1").arg(closed));
    Open();
    EXPECT_EQ(Status(), QString("The station directory cannot be reached: 127.0.0.1:%1: "
                                "Connection refused")
                            .arg(closed));
    EXPECT_FALSE(form->Client->Discovering());
    EXPECT_TRUE(app.prompts.ErrorBoxes().isEmpty());
}

TEST_F(DirectoryFailure, TheDesktopsProxyIsUsedForTheDirectory) {
    // A proxy of our own: the fixture answers the absolute addresses a proxy
    // is asked for. The directory's name does not resolve: only the proxy
    // can reach it.
    quorane::test::DirectoryServer proxy;
    AddQuokkas(proxy);
    const QByteArray oldProxy = qgetenv("http_proxy");
    const QByteArray oldNoProxy = qgetenv("no_proxy");
    qputenv("http_proxy", QString("http://127.0.0.1:%1").arg(proxy.port()).toLatin1());
    qunsetenv("no_proxy");
    form = MakeWindow("http://directory.quorane.invalid");
    Open();
    qputenv("http_proxy", oldProxy);
    if (oldProxy.isNull())
        qunsetenv("http_proxy");
    if (!oldNoProxy.isNull())
        qputenv("no_proxy", oldNoProxy);
    const auto seen = proxy.requests();
    ASSERT_FALSE(seen.empty()) << Status().toStdString();
    for (const auto &r : seen)
        EXPECT_EQ(r.path.rfind("http://directory.quorane.invalid/json/", 0), size_t(0)) << r.path;
    EXPECT_EQ(form->Results->Count(), 5) << Status().toStdString();
}
