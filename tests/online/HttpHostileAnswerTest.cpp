// The list-server client against servers that try to hold it or fill its
// memory: endless interim answers, endless chunks, a chunk size meant to wrap
// the size check, a drip of bytes, a flood of cookies, a stalled name lookup.
// Every one ends in bounded time with a message, within a memory bound.
#include "ListServer.h"
#include "common/SanitizerBounds.h"
#include "online/CookieJar.h"
#include "online/RequestFailure.h"
#include "online/TIdHTTP.h"
#include "platform/QuoraneError.h"

#include <fstream>
#include <gtest/gtest.h>
#include <thread>

using quorane::test::ListAnswer;
using quorane::test::ListServer;
using namespace std::chrono_literals;

namespace {

long StatusKiB(const char *key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::strlen(key)));
    return -1;
}

// How far the process's resident memory rose above where it stood, at its
// peak, while `work` ran. The peak mark is reset first (clear_refs 5), so
// what earlier tests used does not count.
template <class F> long PeakGrowthMiB(F &&work) {
    { std::ofstream("/proc/self/clear_refs") << "5"; }
    const long before = StatusKiB("VmRSS:");
    work();
    return (StatusKiB("VmHWM:") - before) / 1024;
}

struct HttpHostile : ::testing::Test {
    ListServer server;
    TIdHTTP http;
    QString Url(const char *path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server.port()).arg(QLatin1String(path));
    }
    void Serve(const std::string &raw, const std::string &endless = "", long long bytes = 0) {
        ListAnswer a;
        a.raw = raw;
        a.endless = endless;
        a.endlessBytes = bytes;
        server.answer("/x", a);
    }
};

constexpr long long Plenty = 200LL * 1024 * 1024;
const std::string ChunkedHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

} // namespace

TEST_F(HttpHostile, EndlessContinueAnswersEndAfterTen) {
    Serve("", "HTTP/1.1 100 Continue\r\nSet-Cookie: c=v; Path=/\r\n\r\n", Plenty);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Failure([&] { http.Get(Url("/x")); }),
              "The server sent no answer after 10 interim answers.");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    EXPECT_FALSE(http.Connected());
    // Ten interim answers and the real one are still fine.
    std::string ten;
    for (int i = 0; i < 10; ++i)
        ten += "HTTP/1.1 100 Continue\r\n\r\n";
    Serve(ten + "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    EXPECT_EQ(http.Get(Url("/x")), "ok");
}

TEST_F(HttpHostile, EndlessChunksStopAtTheBodyLimitWithinAMemoryBound) {
    http.MaxBodyBytes = 16 * 1024 * 1024;
    const std::string chunk = "4000\r\n" + std::string(0x4000, 'x') + "\r\n";
    Serve(ChunkedHead, chunk, Plenty);
    QString message;
    const long grew = PeakGrowthMiB([&] { message = Failure([&] { http.Get(Url("/x")); }); });
    EXPECT_EQ(message, "The server's answer is too large.");
    // The body's limit plus room for one copy, never the server's 200 MiB.
    EXPECT_LT(grew, 48 * SanitizerBoundScale) << "MiB";
    RecordProperty("peak_growth_mib", int(grew));
}

TEST_F(HttpHostile, AHugeChunkSizeAfterAFirstChunkCannotWrapTheLimit) {
    // 1 + 0x7fffffffffffffff wraps a signed sum below the limit.
    Serve(ChunkedHead + "1\r\nx\r\n7fffffffffffffff\r\n", std::string(65536, 'x'), Plenty);
    QString message;
    const long grew = PeakGrowthMiB([&] { message = Failure([&] { http.Get(Url("/x")); }); });
    EXPECT_EQ(message, "The server's answer is too large.");
    EXPECT_LT(grew, 48) << "MiB";
    RecordProperty("peak_growth_mib", int(grew));
    for (const char *size : {"ffffffffffffffff", "10000000000000000", "-1"}) {
        Serve(ChunkedHead + "1\r\nx\r\n" + size + "\r\n", std::string(65536, 'x'), 1 << 20);
        EXPECT_FALSE(Failure([&] { http.Get(Url("/x")); }).isEmpty()) << size;
    }
}

TEST_F(HttpHostile, ADripOfBytesEndsAtTheWholeRequestLimit) {
    ListAnswer drip;
    drip.raw = "HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n" + std::string(500, 'x');
    drip.dripMs = 1000; // well inside the read limit, byte after byte
    server.answer("/x", drip);
    http.RequestTimeoutMs = 3000;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Failure([&] { http.Get(Url("/x")); }).toStdString(),
              "The list server took longer than 3 seconds to answer.");
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 2900ms);
    EXPECT_LT(took, 10s);
}

TEST_F(HttpHostile, TenThousandCookiesKeepFiftyAtMost) {
    std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n";
    for (int i = 0; i < 10000; ++i)
        head += "Set-Cookie: c" + std::to_string(i) + "=v\r\n"; // 200 KB of headers
    ListAnswer flood;
    flood.raw = head + "\r\nok";
    server.answer("/x", flood);
    ListAnswer big;
    big.headers = {"Set-Cookie: big=" + std::string(5000, 'b') + "; Path=/"};
    server.answer("/big", big);
    ListAnswer fine;
    server.answer("/next", fine);

    EXPECT_EQ(http.Get(Url("/x")), "ok");
    http.Get(Url("/big"));
    http.Get(Url("/next"));
    const std::string request = server.requests().back().bytes;
    const size_t at = request.find("\r\nCookie: ");
    ASSERT_NE(at, std::string::npos);
    const std::string cookies = request.substr(at, request.find("\r\n", at + 2) - at);
    EXPECT_EQ(std::count(cookies.begin(), cookies.end(), '='), CookieJar::MaxCookies);
    EXPECT_EQ(cookies.find("big="), std::string::npos);
    // A cookie it holds can still be replaced.
    ListAnswer update;
    update.headers = {"Set-Cookie: c0=new; Path=/"};
    server.answer("/update", update);
    http.Get(Url("/update"));
    http.Get(Url("/next"));
    EXPECT_NE(server.requests().back().bytes.find("c0=new"), std::string::npos);
}

TEST(HttpLookup, AStalledNameLookupEndsWithinTheConnectLimit) {
    TIdHTTP http;
    http.ConnectTimeoutMs = 500;
    auto stalls = [](const std::string &, in_addr *) {
        std::this_thread::sleep_for(6s);
        return -1;
    };
    TcpConnection::Resolver &resolver = TcpConnection::ResolverInUse();
    const TcpConnection::Resolver saved = resolver;
    resolver = stalls;
    const auto start = std::chrono::steady_clock::now();
    const QString message = Failure([&] { http.Get("http://slow.example/quorane/ver.txt"); });
    resolver = saved;
    EXPECT_EQ(message, "Looking up slow.example took longer than 0.5 seconds.");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}
