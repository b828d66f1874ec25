// The list-server client against servers that try to hold it or fill its
// memory: endless interim answers, endless chunks, a chunk size meant to wrap
// the size check, answers past the bound of their kind, a drip of bytes, a
// flood of cookies, a stalled name lookup. Every one ends in bounded time
// with a message, within a memory bound; a large station list is held once
// and let go of when the request ends.
#include "ListServer.h"
#include "common/SanitizerBounds.h"
#include "online/CookieJar.h"
#include "online/NetLimits.h"
#include "online/RequestFailure.h"
#include "online/StationListDownload.h"
#include "online/TIdHTTP.h"
#include "platform/QuoraneError.h"

#include <fstream>
#include <gtest/gtest.h>
#include <malloc.h>
#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's count of live bytes (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

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

// The bytes the process has allocated and not freed (blocks in a sanitizer's
// quarantine do not count), so what a request leaves behind shows exactly.
long long LiveHeapBytes() {
#if defined(__SANITIZE_ADDRESS__)
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 m = mallinfo2();
    return static_cast<long long>(m.uordblks + m.hblkhd);
#endif
}

struct HttpHostile : ::testing::Test {
    ListServer server;
    TIdHTTP http;
    QString Url(const char *path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server.port()).arg(QLatin1String(path));
    }
    QString Get(const char *path, qint64 bound = NetLimits::MaxStationListBytes) {
        return http.Get(Url(path), bound);
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
    EXPECT_EQ(Failure([&] { Get("/x"); }), "The server sent no answer after 10 interim answers.");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    EXPECT_FALSE(http.Connected());
    // Ten interim answers and the real one are still fine.
    std::string ten;
    for (int i = 0; i < 10; ++i)
        ten += "HTTP/1.1 100 Continue\r\n\r\n";
    Serve(ten + "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    EXPECT_EQ(Get("/x"), "ok");
}

TEST_F(HttpHostile, EndlessChunksStopAtTheBodyLimitWithinAMemoryBound) {
    const std::string chunk = "4000\r\n" + std::string(0x4000, 'x') + "\r\n";
    Serve(ChunkedHead, chunk, Plenty);
    QString message;
    const long grew = PeakGrowthMiB([&] { message = Failure([&] { Get("/x", 16 << 20); }); });
    EXPECT_EQ(message, "The list server's answer is larger than 16 MiB.");
    // The body's limit plus room for one copy, never the server's 200 MiB.
    EXPECT_LT(grew, 48 * SanitizerBoundScale) << "MiB";
    RecordProperty("peak_growth_mib", int(grew));
}

// Each kind of answer has a bound of its own: a version file larger than a
// few bytes is no version file, and a station list has a size a list can
// have. Exactly the bound passes; one byte more fails, however it is framed.
TEST_F(HttpHostile, EachKindOfAnswerStopsAtItsOwnBound) {
    const auto framed = [](const std::string &framing, const std::string &body) {
        if (framing == "length")
            return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                   "\r\n\r\n" + body;
        if (framing == "chunked")
            return ChunkedHead + "1000\r\n" + body.substr(0, 0x1000) + "\r\n" +
                   (body.size() > 0x1000 ? "1\r\n" + body.substr(0x1000) + "\r\n" : "") +
                   "0\r\n\r\n";
        return "HTTP/1.0 200 OK\r\n\r\n" + body; // ends at the close
    };
    for (const std::string framing : {"length", "chunked", "close"}) {
        const std::string version = "1.02" + std::string(NetLimits::MaxVersionBytes - 4, ' ');
        Serve(framed(framing, version));
        EXPECT_EQ(Get("/x", NetLimits::MaxVersionBytes).size(), NetLimits::MaxVersionBytes)
            << framing;
        Serve(framed(framing, version + ' '));
        EXPECT_EQ(Failure([&] { Get("/x", NetLimits::MaxVersionBytes); }),
                  "The list server's answer is larger than 4 KiB.")
            << framing;
    }
    // A station list one byte past its bound is refused by its length alone.
    Serve("HTTP/1.1 200 OK\r\nContent-Length: " +
          std::to_string(NetLimits::MaxStationListBytes + 1) + "\r\n\r\n" + std::string(1024, 'x'));
    EXPECT_EQ(Failure([&] { StationListDownload::Fetch(http, Url("/x")); }),
              "The list server's answer is larger than 64 MiB.");
}

// A station list of 48 MiB is held once while it comes (room made for its
// Content-Length at once) and handed on without a copy; once the caller has
// let go of it, nothing of it is left behind in the client.
TEST_F(HttpHostile, AStationListIsHeldOnceAndNotKeptAfterTheRequest) {
    constexpr long long listBytes = 48LL << 20;
    std::string block;
    while (block.size() < (64 << 10))
        block += "Station " + std::to_string(block.size()) +
                 "\tDescription\tGenre\tCountry\tLanguage\thttp://stream.example/live\t\r\n";
    block.resize(64 << 10, '\n');
    for (const char *type : {"text/plain; charset=utf-8", "text/plain"}) {
        Serve("HTTP/1.1 200 OK\r\nContent-Type: " + std::string(type) +
                  "\r\nContent-Length: " + std::to_string(listBytes) + "\r\n\r\n",
              block, listBytes);
        const long long liveBefore = LiveHeapBytes();
        long long size = 0;
        const long grew = PeakGrowthMiB([&] {
            const QByteArray list = StationListDownload::Fetch(http, Url("/x"));
            size = list.size();
        });
        EXPECT_EQ(size, listBytes) << type;
        EXPECT_LT(grew, (48 + 16) * SanitizerBoundScale) << type << " (MiB)";
        EXPECT_LT(LiveHeapBytes() - liveBefore, 1 << 20) << type << " (bytes kept)";
        RecordProperty(std::string("peak_growth_mib ") + type, int(grew));
    }
}

TEST_F(HttpHostile, AHugeChunkSizeAfterAFirstChunkCannotWrapTheLimit) {
    // 1 + 0x7fffffffffffffff wraps a signed sum below the limit.
    Serve(ChunkedHead + "1\r\nx\r\n7fffffffffffffff\r\n", std::string(65536, 'x'), Plenty);
    QString message;
    const long grew = PeakGrowthMiB([&] { message = Failure([&] { Get("/x"); }); });
    EXPECT_EQ(message, "The list server's answer is larger than 64 MiB.");
    EXPECT_LT(grew, 48) << "MiB";
    RecordProperty("peak_growth_mib", int(grew));
    for (const char *size : {"ffffffffffffffff", "10000000000000000", "-1"}) {
        Serve(ChunkedHead + "1\r\nx\r\n" + size + "\r\n", std::string(65536, 'x'), 1 << 20);
        EXPECT_FALSE(Failure([&] { Get("/x"); }).isEmpty()) << size;
    }
}

TEST_F(HttpHostile, ADripOfBytesEndsAtTheWholeRequestLimit) {
    ListAnswer drip;
    drip.raw = "HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n" + std::string(500, 'x');
    drip.dripMs = 1000; // well inside the read limit, byte after byte
    server.answer("/x", drip);
    http.RequestTimeoutMs = 3000;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Failure([&] { Get("/x"); }).toStdString(),
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

    EXPECT_EQ(Get("/x"), "ok");
    Get("/big");
    Get("/next");
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
    Get("/update");
    Get("/next");
    EXPECT_NE(server.requests().back().bytes.find("c0=new"), std::string::npos);
}

TEST(HttpLookup, AStalledNameLookupEndsWithinTheConnectLimit) {
    TIdHTTP http;
    http.ConnectTimeoutMs = 500;
    const auto start = std::chrono::steady_clock::now();
    const QString message = Failure(
        [&] { http.Get("http://stall.quorane.test/quorane/ver.txt", NetLimits::MaxVersionBytes); });
    EXPECT_EQ(message, "Looking up stall.quorane.test took longer than 0.5 seconds.");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}
