// The list-server client against a list server of our own on 127.0.0.1 (and
// ::1): the exact bytes of its requests, the form encoding, connection reuse,
// cookies, how answers become text, the message of every failure, and the
// name lookups that NameServerStub.c answers.
#include "ListServer.h"
#include "online/HttpForm.h"
#include "online/NetLimits.h"
#include "online/TIdHTTP.h"
#include "platform/QuoraneError.h"

#include "online/ExpectedRequests.h"
#include "online/RequestFailure.h"
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using quorane::test::ListAnswer;
using quorane::test::ListServer;

namespace {

// A port on 127.0.0.1 where nothing listens.
int ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

struct HttpClient : ::testing::Test {
    ListServer server;
    TIdHTTP http;
    QString Url(const char *path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server.port()).arg(QLatin1String(path));
    }
    // A GET within the bound of the largest kind of answer, a station list.
    QString Get(const char *path) { return http.Get(Url(path), NetLimits::MaxStationListBytes); }
    std::string Host() const { return "127.0.0.1:" + std::to_string(server.port()); }
    ListAnswer Text(const std::string &body) {
        ListAnswer a;
        a.body = body;
        return a;
    }
};

} // namespace

TEST_F(HttpClient, GetSendsTheFixedHeadersInOrderAndNothingMore) {
    server.answer("/quorane/stations.txt", Text("A\tB\r\n"));
    EXPECT_EQ(Get("/quorane/stations.txt"), "A\tB\r\n");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].bytes, ExpectedGet(Host(), "/quorane/stations.txt"));
    // The query travels with the path.
    server.answer("/q", Text("x"));
    Get("/q?a=1&b=2");
    EXPECT_EQ(server.requests().back().bytes.substr(0, 25), "GET /q?a=1&b=2 HTTP/1.1\r\n");
}

TEST_F(HttpClient, PostSendsTheFormAsHttp10WithItsLength) {
    server.answer("/quorane/add.php", Text("thanks"));
    const QStringList fields = {
        "radio=Two words",       "url=http://a.example:8100/s.mp3?x=1&y=+", "genre=Jazz*#%<>[]",
        "country=\u00e9t\u00e9", QString::fromUtf8("lang=\u263a"),          "desc="};
    EXPECT_EQ(http.Post(Url("/quorane/add.php"), fields), "thanks");
    const std::string body =
        "radio=Two%20words&url=http%3A%2F%2Fa.example%3A8100%2Fs.mp3%3Fx%3D1%26y%3D%2B"
        "&genre=Jazz%2A%23%25%3C%3E%5B%5D&country=%C3%A9t%C3%A9&lang=%E2%98%BA&desc=";
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].bytes, ExpectedPost(Host(), "/quorane/add.php", body));
}

TEST(HttpFormEncoding, SendsEveryValueAsTypedInPlainAscii) {
    using HttpForm::Body;
    using HttpForm::EncodeFormValue;
    EXPECT_EQ(Body({"radio=", "url=", "genre=", "country=", "lang=", "desc="}),
              "radio=&url=&genre=&country=&lang=&desc=");
    EXPECT_EQ(Body({"radio=", "url=", "genre=", "country=", "lang=", "desc="}).size(), 39);
    EXPECT_EQ(EncodeFormValue("a b\tc\r\n"), "a%20b%09c%0D%0A");
    // Nothing that could split a field or change a value travels bare.
    EXPECT_EQ(EncodeFormValue("&=+%/?:!*#"), "%26%3D%2B%25%2F%3F%3A%21%2A%23");
    EXPECT_EQ(EncodeFormValue("AZaz09-._~"), "AZaz09-._~");
    // Beyond ASCII, the UTF-8 bytes: a letter, the euro, a smiley, a note
    // outside the basic plane.
    EXPECT_EQ(EncodeFormValue(QString::fromUtf8("\u00e9\u20ac\u263a")), "%C3%A9%E2%82%AC%E2%98%BA");
    EXPECT_EQ(EncodeFormValue(QString::fromUtf8("\U0001F3B5")), "%F0%9F%8E%B5");
    EXPECT_EQ(Body({QString::fromUtf8("n=\u00e9\u263a")}), "n=%C3%A9%E2%98%BA");
    // Only the first "=" splits; later ones belong to the value.
    EXPECT_EQ(Body({"a=b=c d"}), "a=b%3Dc%20d");
}

TEST_F(HttpClient, KeepsOneConnectionWhileTheServerAllowsIt) {
    server.answer("/a", Text("1"));
    server.answer("/b", Text("2"));
    Get("/a");
    Get("/b");
    Get("/a");
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].connection, requests[0].connection);
    EXPECT_EQ(server.connections(), 1);
    EXPECT_TRUE(http.Connected());

    // Every POST goes out on a new connection.
    server.answer("/p", Text("ok"));
    http.Post(Url("/p"), {"x=1"});
    requests = server.requests();
    EXPECT_NE(requests.back().connection, requests[2].connection);

    // Disconnect closes; the next request opens a new one.
    http.Disconnect();
    EXPECT_FALSE(http.Connected());
    const int before = server.connections();
    Get("/a");
    EXPECT_EQ(server.connections(), before + 1);
}

TEST_F(HttpClient, OpensANewConnectionWhenTheAnswerOrTheServerEndsTheOldOne) {
    ListAnswer closing = Text("bye");
    closing.close = true;
    server.answer("/close", closing);
    ListAnswer dropping = Text("gone");
    dropping.dropAfter = true; // keep-alive on paper, then the server hangs up
    server.answer("/drop", dropping);
    ListAnswer old = Text("old");
    old.version = "HTTP/1.0";
    server.answer("/old", old);
    server.answer("/a", Text("1"));

    EXPECT_EQ(Get("/close"), "bye");
    EXPECT_FALSE(http.Connected());
    EXPECT_EQ(Get("/a"), "1");
    EXPECT_EQ(Get("/drop"), "gone");
    EXPECT_EQ(Get("/a"), "1");
    // An HTTP/1.0 answer without "keep-alive" closes.
    EXPECT_EQ(Get("/old"), "old");
    EXPECT_FALSE(http.Connected());
    EXPECT_EQ(Get("/a"), "1");

    const auto r = server.requests();
    ASSERT_EQ(r.size(), 6u);
    EXPECT_NE(r[1].connection, r[0].connection);
    EXPECT_EQ(r[2].connection, r[1].connection);
    EXPECT_NE(r[3].connection, r[2].connection);
    EXPECT_NE(r[5].connection, r[4].connection);
    EXPECT_EQ(server.connections(), 4);
}

TEST_F(HttpClient, RetriesAGetOnceWhenAKeptConnectionDiesUnderIt) {
    server.answer("/a", Text("1"));
    ListAnswer hangUp;
    hangUp.closeWithoutAnswer = true;
    server.answer("/hangup", hangUp);
    Get("/a");
    ASSERT_TRUE(http.Connected());
    // The kept connection breaks as the request arrives: one more try on a
    // new connection, then the failure.
    EXPECT_EQ(Failure([&] { Get("/hangup"); }), "Connection Closed Gracefully.");
    const auto r = server.requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[1].path, "/hangup");
    EXPECT_EQ(r[1].connection, r[0].connection);
    EXPECT_EQ(r[2].path, "/hangup");
    EXPECT_NE(r[2].connection, r[1].connection);
    EXPECT_FALSE(http.Connected());
}

TEST_F(HttpClient, SendsBackTheCookiesThatApply) {
    ListAnswer login = Text("hi");
    login.headers = {"Set-Cookie: session=abc123; Path=/", "Set-Cookie: pref=dark; Path=/quorane",
                     "Set-Cookie: stale=x; Path=/; Expires=Thu, 01 Jan 1970 00:00:00 GMT",
                     "Set-Cookie: safe=y; Path=/; Secure"};
    server.answer("/login", login);
    server.answer("/quorane/ver.txt", Text("1.02"));
    server.answer("/other", Text("o"));

    Get("/login");
    EXPECT_EQ(server.requests()[0].bytes.find("Cookie:"), std::string::npos);
    Get("/quorane/ver.txt");
    Get("/other");
    const auto r = server.requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_NE(r[1].bytes.find("User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
                              "Cookie: pref=dark; session=abc123\r\n\r\n"),
              std::string::npos)
        << r[1].bytes;
    EXPECT_NE(r[2].bytes.find("\r\nCookie: session=abc123\r\n\r\n"), std::string::npos)
        << r[2].bytes;
    // A POST carries them too.
    server.answer("/quorane/add.php", Text(""));
    http.Post(Url("/quorane/add.php"), {"radio=x"});
    EXPECT_NE(server.requests().back().bytes.find("Cookie: pref=dark; session=abc123\r\n"),
              std::string::npos);
}

TEST_F(HttpClient, TurnsTheBodyIntoTextByItsCharset) {
    const std::string bytes = "caf\xC3\xA9";
    for (const char *type : {"text/plain; charset=utf-8", "text/plain;charset = \"UTF8\"",
                             "text/html; CHARSET=Utf-8; format=flowed"}) {
        ListAnswer a = Text(bytes);
        a.contentType = type;
        server.answer("/t", a);
        EXPECT_EQ(Get("/t"), QString::fromUtf8("caf\u00e9")) << type;
    }
    for (const char *type : {"text/plain", "", "text/plain; charset=iso-8859-1"}) {
        ListAnswer a = Text(bytes);
        a.contentType = type;
        server.answer("/t", a);
        EXPECT_EQ(Get("/t"), QString::fromUtf8("caf\u00c3\u00a9")) << type;
    }
    EXPECT_EQ(TIdHTTP::Charset("text/plain; charset=\"utf-8\"; x=y"), "utf-8");
    EXPECT_EQ(TIdHTTP::Charset("text/plain"), QByteArray());
}

TEST_F(HttpClient, ReadsEveryWayAnAnswerCanEnd) {
    const std::string list = "Station one\t\t\t\t\thttp://one/\t\r\nStation two\r\n";
    ListAnswer chunked = Text(list);
    chunked.chunked = true;
    server.answer("/chunked", chunked);
    ListAnswer toClose = Text(list);
    toClose.contentLength = false;
    server.answer("/toclose", toClose);
    ListAnswer empty = Text("");
    server.answer("/empty", empty);
    ListAnswer noContent;
    noContent.status = 204;
    noContent.contentLength = false;
    server.answer("/nocontent", noContent);
    ListAnswer continued;
    continued.raw = "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    server.answer("/continue", continued);

    EXPECT_EQ(Get("/chunked"), QString::fromStdString(list));
    EXPECT_TRUE(http.Connected());
    EXPECT_EQ(Get("/toclose"), QString::fromStdString(list));
    EXPECT_EQ(Get("/empty"), "");
    EXPECT_EQ(Get("/nocontent"), "");
    EXPECT_EQ(http.ResponseCode(), 204);
    EXPECT_EQ(Get("/continue"), "ok");
    EXPECT_EQ(http.ResponseCode(), 200);
}

TEST_F(HttpClient, ErrorStatusRedirectAndAuthenticationFailWithTheStatusLine) {
    ListAnswer missing = Text("<html>gone</html>");
    missing.status = 404;
    server.answer("/missing", missing);
    ListAnswer broken = Text("oops");
    broken.status = 500;
    broken.version = "HTTP/1.0";
    server.answer("/broken", broken);
    ListAnswer moved;
    moved.status = 302;
    moved.reason = "Moved Somewhere";
    moved.headers = {"Location: /elsewhere"};
    server.answer("/moved", moved);
    server.answer("/elsewhere", Text("should not be fetched"));
    ListAnswer locked;
    locked.status = 401;
    locked.headers = {"WWW-Authenticate: Basic realm=\"x\""};
    server.answer("/locked", locked);

    EXPECT_EQ(Failure([&] { Get("/missing"); }), "HTTP/1.1 404 Not Found");
    // The error answer was read to its end, so the connection still serves.
    EXPECT_TRUE(http.Connected());
    server.answer("/next", Text("next"));
    EXPECT_EQ(Get("/next"), "next");
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(Failure([&] { Get("/broken"); }), "HTTP/1.0 500 Internal Server Error");
    EXPECT_EQ(Failure([&] { Get("/moved"); }), "HTTP/1.1 302 Moved Somewhere");
    EXPECT_EQ(Failure([&] { Get("/locked"); }), "HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(Failure([&] { Get("/nowhere"); }), "HTTP/1.1 404 Not Found");
    for (const auto &r : server.requests())
        EXPECT_NE(r.path, "/elsewhere");
}

TEST_F(HttpClient, SocketFailuresCarryTheNumberAndTheReason) {
    const QString refused = QStringLiteral("http://127.0.0.1:%1/quorane/ver.txt").arg(ClosedPort());
    // Only a name that does not exist is "Host not found.": a lookup that
    // cannot be made now says so, and asks for no change of address. The
    // resolver's failures carry its own numbers (netdb.h).
    const struct {
        QString url;
        const char *message;
    } cases[] = {
        {refused, "Socket Error # 111\r\nConnection refused."},
        // ".invalid" names never resolve (RFC 2606): the real lookup fails.
        {"http://nonexistent.invalid/quorane/ver.txt", "Socket Error # 1\r\nHost not found."},
        {"http://again.quorane.test/quorane/ver.txt",
         "Socket Error # 2\r\nThe host name could not be looked up now (no network, or no "
         "answer from the name server)."},
        {"http://refused.quorane.test/quorane/ver.txt",
         "Socket Error # 3\r\nThe name server could not look up the host name."},
        {"http://noaddress.quorane.test/quorane/ver.txt",
         "Socket Error # 4\r\nThe host name has no address."},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Failure([&] { http.Get(c.url, NetLimits::MaxVersionBytes); }), c.message)
            << c.url.toStdString();
        EXPECT_FALSE(http.Connected());
    }
}

// A name with only an IPv6 address, a name with both (the IPv6 one first, as
// resolvers often sort them), and an IPv6 address in the URL all reach the
// server, whichever of the two addresses it listens on.
TEST(HttpAddresses, IPv6OnlyNamesAndBothFamiliesReachTheServer) {
    std::unique_ptr<ListServer> v6;
    try {
        v6 = std::make_unique<ListServer>(ListServer::Address::Loopback6);
    } catch (const std::exception &e) {
        GTEST_SKIP() << "no IPv6 loopback here: " << e.what();
    }
    ListServer v4;
    ListAnswer version;
    version.body = "1.02";
    v6->answer("/quorane/ver.txt", version);
    v4.answer("/quorane/ver.txt", version);
    const struct {
        const char *host;
        ListServer *server;
        const char *hostHeader;
    } cases[] = {
        {"ipv6only.quorane.test", v6.get(), "ipv6only.quorane.test"},
        {"[::1]", v6.get(), "[::1]"},
        {"dual.quorane.test", v6.get(), "dual.quorane.test"},
        {"dual.quorane.test", &v4, "dual.quorane.test"},
    };
    for (const auto &c : cases) {
        TIdHTTP http;
        const std::string port = std::to_string(c.server->port());
        const QString url = QStringLiteral("http://%1:%2/quorane/ver.txt")
                                .arg(QLatin1String(c.host), QString::fromStdString(port));
        const size_t before = c.server->requests().size();
        EXPECT_EQ(Failure([&] { EXPECT_EQ(http.Get(url, NetLimits::MaxVersionBytes), "1.02"); }),
                  "")
            << url.toStdString();
        const auto requests = c.server->requests();
        ASSERT_EQ(requests.size(), before + 1) << url.toStdString();
        EXPECT_NE(requests.back().bytes.find("\r\nHost: " + std::string(c.hostHeader) + ":" + port +
                                             "\r\n"),
                  std::string::npos)
            << requests.back().bytes;
    }
}

TEST_F(HttpClient, BrokenAnswersFailClearlyAndLeaveNoConnectionBehind) {
    ListAnswer silent;
    silent.silent = true;
    server.answer("/silent", silent);
    ListAnswer hangUp;
    hangUp.closeWithoutAnswer = true;
    server.answer("/hangup", hangUp);
    ListAnswer cut = Text(std::string(100, 'x'));
    cut.closeAfterBodyBytes = 60;
    server.answer("/cut", cut);
    ListAnswer cutChunks = Text(std::string(100, 'x'));
    cutChunks.chunked = true;
    cutChunks.closeAfterBodyBytes = 50;
    server.answer("/cutchunks", cutChunks);
    ListAnswer garbage;
    garbage.garbage = true;
    server.answer("/garbage", garbage);
    ListAnswer headOnly;
    headOnly.raw = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n";
    server.answer("/headonly", headOnly);
    server.answer("/fine", Text("fine"));

    http.ReadTimeoutMs = 300;
    EXPECT_EQ(Failure([&] { Get("/silent"); }), "Read timed out.");
    EXPECT_FALSE(http.Connected());
    EXPECT_EQ(Failure([&] { Get("/hangup"); }), "Connection Closed Gracefully.");
    EXPECT_EQ(Failure([&] { Get("/headonly"); }), "Connection Closed Gracefully.");
    // A cut-off answer never passes for the whole one.
    EXPECT_EQ(Failure([&] { Get("/cut"); }),
              "Connection closed before the whole answer had arrived.");
    EXPECT_EQ(Failure([&] { Get("/cutchunks"); }),
              "Connection closed before the whole answer had arrived.");
    EXPECT_EQ(Failure([&] { Get("/garbage"); }), "The server's answer is not valid HTTP.");
    EXPECT_FALSE(http.Connected());
    // The client is not the worse for any of it.
    EXPECT_EQ(Get("/fine"), "fine");
    EXPECT_EQ(Failure([&] { http.Get("ftp://127.0.0.1/x", NetLimits::MaxVersionBytes); }),
              "Invalid URL: ftp://127.0.0.1/x");
}
