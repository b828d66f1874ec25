// quorane-listserver under the abuse one machine on a network can send it:
// many idle connections, a reader that takes its time, a flood of
// submissions, a post from some web page. Other machines (other loopback
// addresses) must still get their list, and the server's memory and
// pending.txt must stay bounded.
#include "RawHttp.h"
#include "RealListServer.h"
#include "SubmissionRate.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

std::string BigList(size_t bytes) {
    std::string list;
    for (int i = 0; list.size() < bytes; ++i)
        list += "Station " + std::to_string(i) + "\tA station\tPop\tDE\tGerman\thttp://s" +
                std::to_string(i) + ".example/live\t\r\n";
    return list;
}

std::string Form(const std::string &radio) {
    return "radio=" + radio + "&url=http%3A%2F%2Fs.example%2Flive&genre=g&country=c&lang=l&desc=d";
}

RawHttp::Answer Ask(uint16_t port, const std::string &request, const std::string &from = "") {
    RawHttp client(port, from);
    client.Send(request);
    return client.Receive();
}

// Opens `count` connections from `from` and says how many the server kept
// (the others it closes as they come).
size_t Kept(uint16_t port, const std::string &from, int count,
            std::vector<std::unique_ptr<RawHttp>> &clients) {
    const size_t before = clients.size();
    for (int i = 0; i < count; ++i)
        clients.push_back(std::make_unique<RawHttp>(port, from));
    size_t kept = 0;
    for (size_t i = before; i < clients.size(); ++i)
        kept += !clients[i]->ClosedWithin(100ms);
    return kept;
}

} // namespace

TEST(ListServerLimits, OneMachineHoldingAllItMayShutsNobodyOut) {
    RealListServer server;
    const std::string list = BigList(1 << 20);
    server.Write("stations.txt", list);
    std::vector<std::unique_ptr<RawHttp>> idle;
    // 256 idle connections from one machine: eight are kept, the rest closed.
    EXPECT_EQ(Kept(server.port(), "127.0.0.1", 256, idle), 8u);
    // Another machine gets the whole list meanwhile.
    const RawHttp::Answer a =
        Ask(server.port(), RawHttp::Get("/quorane/stations.txt"), "127.0.0.2");
    EXPECT_EQ(a.status, 200);
    EXPECT_TRUE(a.body == list) << a.body.size();
    EXPECT_NE(server.Log().find("refused: 8 connections at once from this address"),
              std::string::npos)
        << server.Log().substr(0, 2000);
    // Once it lets go, it is served again.
    idle.clear();
    bool served = false;
    for (int i = 0; i < 100 && !served; ++i) {
        served = Ask(server.port(), RawHttp::Get("/quorane/ver.txt"), "127.0.0.1").status == 404;
        if (!served)
            std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(served);
}

TEST(ListServerLimits, NoMoreConnectionsInAllThanTheLimit) {
    ServerLimits limits;
    limits.maxClients = 16;
    RealListServer server({}, limits);
    std::vector<std::unique_ptr<RawHttp>> idle;
    EXPECT_EQ(Kept(server.port(), "127.0.0.2", 8, idle), 8u);
    EXPECT_EQ(Kept(server.port(), "127.0.0.3", 8, idle), 8u);
    EXPECT_EQ(Kept(server.port(), "127.0.0.4", 1, idle), 0u);
    EXPECT_NE(server.Log().find("refused: 16 connections at once in all"), std::string::npos)
        << server.Log();
    idle.erase(idle.begin());
    size_t kept = 0;
    for (int i = 0; i < 100 && kept == 0; ++i) {
        kept = Kept(server.port(), "127.0.0.4", 1, idle);
        if (kept == 0)
            std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(kept, 1u);
}

TEST(ListServerLimits, AReaderThatTakesItsTimeIsCutOffAtTheTimeLimit) {
    const std::string list = BigList(8 << 20);
    const struct {
        const char *what;
        int pace; // ms between reads of 16 KiB; 0: reads nothing
        int requestTimeoutMs, idleTimeoutMs;
        const char *ending;
    } cases[] = {
        // The list would take it 10 s: the time limit ends it.
        {"slow reader", 20, 1000, 15000, "slow reader cut off"},
        {"reads nothing", 0, 1000, 15000, "slow reader cut off"},
        // Nothing moves for the idle time: the library ends it.
        {"reads nothing, idle", 0, 30000, 1000, "reader stopped reading"},
    };
    for (const auto &[what, pace, requestTimeoutMs, idleTimeoutMs, ending] : cases) {
        ServerLimits limits;
        limits.requestTimeoutMs = requestTimeoutMs;
        limits.idleTimeoutMs = idleTimeoutMs;
        RealListServer server({}, limits);
        server.Write("stations.txt", list);
        SCOPED_TRACE(what);
        RawHttp slow(server.port(), "", "127.0.0.1", 16 * 1024);
        slow.Send(RawHttp::Get("/quorane/stations.txt"));
        // Meanwhile the same machine gets its answers.
        EXPECT_EQ(Ask(server.port(), RawHttp::Get("/quorane/ver.txt")).status, 404);
        const auto start = std::chrono::steady_clock::now();
        while (server.LogNow().find(ending) == std::string::npos &&
               std::chrono::steady_clock::now() - start < 10s) {
            if (pace)
                slow.Read(16 * 1024, std::chrono::milliseconds(pace));
            std::this_thread::sleep_for(std::chrono::milliseconds(pace ? pace : 50));
        }
        // Cut off means nothing more comes: not the megabytes the system
        // still held for the reader, at its pace, after the connection ended.
        const size_t atCut = slow.Received();
        const bool closed = slow.ClosedWithin(5s);
        EXPECT_LE(slow.Received() - atCut, 256u * 1024) << "the reader got what was queued";
        EXPECT_TRUE(closed);
        EXPECT_LT(slow.Received(), list.size());
        // The log gives what reached the reader: what it read, and what its
        // socket held for it, not the megabytes the server's system held and
        // dropped (give or take the piece the library had in hand).
        const std::string log = server.Log();
        const std::string line = "\"GET /quorane/stations.txt HTTP/1.1\" 200 ";
        const size_t at = log.rfind(line);
        ASSERT_NE(at, std::string::npos) << log;
        const size_t sent = std::stoul(log.substr(at + line.size()));
        EXPECT_LT(sent, list.size());
        EXPECT_LE(slow.Received(), sent + 16 * 1024 + 512);
        EXPECT_LE(sent, slow.Received() + 256 * 1024);
        EXPECT_NE(log.find(ending, at), std::string::npos) << log;
    }
}

TEST(ListServerLimits, SubmissionsFromPagesFloodsAndAFullFolderAreRefused) {
    SubmissionLimits small;
    small.pendingMaxBytes = 4000;
    RealListServer server({}, {}, small);
    const struct {
        std::string request;
        int status;
    } refused[] = {
        // A form on another site's page, as a browser posts it.
        {"POST /quorane/add.php HTTP/1.1\r\nHost: 127.0.0.1\r\nOrigin: http://evil.example\r\n"
         "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
             std::to_string(Form("x").size()) + "\r\n\r\n" + Form("x"),
         403},
        {"POST /quorane/add.php HTTP/1.1\r\nHost: 127.0.0.1\r\nOrigin: null\r\n"
         "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
             std::to_string(Form("x").size()) + "\r\n\r\n" + Form("x"),
         403},
        {RawHttp::Post("/quorane/add.php", Form("x"), "text/plain"), 415},
        {"POST /quorane/add.php HTTP/1.0\r\nContent-Length: " + std::to_string(Form("x").size()) +
             "\r\n\r\n" + Form("x"),
         415},
    };
    for (const auto &r : refused)
        EXPECT_EQ(Ask(server.port(), r.request).status, r.status) << r.request.substr(0, 120);
    EXPECT_FALSE(std::filesystem::exists(server.Path("pending.txt")));

    // Twenty a minute from one machine; the next waits, others do not.
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(
            Ask(server.port(), RawHttp::Post("/quorane/add.php", Form("f" + std::to_string(i))))
                .status,
            i < 20 ? 200 : 0)
            << i;
    const RawHttp::Answer flood = Ask(server.port(), RawHttp::Post("/quorane/add.php", Form("y")));
    EXPECT_EQ(flood.status, 429);
    const int wait = std::atoi(flood.Header("Retry-After").c_str());
    EXPECT_TRUE(wait >= 1 && wait <= 60) << flood.head;

    // pending.txt stops at its size: whole lines up to it, then 507.
    const std::string line =
        RawHttp::Post("/quorane/add.php", Form("full" + std::string(200, 'a')));
    int status = 200;
    for (int i = 0; i < 100 && status == 200; ++i)
        status = Ask(server.port(), line, "127.0.0." + std::to_string(2 + i / 20)).status;
    EXPECT_EQ(status, 507);
    const std::string pending = server.Read("pending.txt");
    EXPECT_LE(pending.size(), small.pendingMaxBytes);
    EXPECT_GT(pending.size(), small.pendingMaxBytes - 300);
    EXPECT_EQ(pending.substr(pending.size() - 2), "\r\n");
    const RawHttp::Answer full = Ask(server.port(), line, "127.0.0.9");
    EXPECT_EQ(full.status, 507);
    EXPECT_EQ(std::count(full.body.begin(), full.body.end(), '\n'), 1) << full.body;
    EXPECT_EQ(server.Read("pending.txt"), pending);
}

TEST(ListServerLimits, SubmissionRateCountsTheLastMinutePerAddress) {
    using Clock = SubmissionRate::Clock;
    SubmissionRate rate(3);
    const Clock::time_point t0 = Clock::now();
    int wait = 0;
    const struct {
        const char *address;
        std::chrono::seconds at;
        bool taken;
        int wait;
    } steps[] = {
        {"a", 0s, true, 0},   {"a", 10s, true, 0},
        {"a", 20s, true, 0},  {"a", 30s, false, 30}, // the first counts until 60 s
        {"b", 30s, true, 0},                         // another address has its own count
        {"a", 60s, true, 0},                         // the first is a minute old
        {"a", 61s, false, 9}, {"a", 70s, true, 0},
    };
    for (const auto &s : steps) {
        wait = 0;
        EXPECT_EQ(rate.Take(s.address, wait, t0 + s.at), s.taken) << s.address << s.at.count();
        EXPECT_EQ(wait, s.wait) << s.address << s.at.count();
    }
    // Memory stays bounded: past MaxAddresses a new address waits, until
    // the old ones are a minute old.
    SubmissionRate many(20);
    for (size_t i = 0; i < SubmissionRate::MaxAddresses; ++i)
        ASSERT_TRUE(many.Take(std::to_string(i), wait, t0));
    EXPECT_FALSE(many.Take("one more", wait, t0 + 1s));
    EXPECT_TRUE(many.Take("one more", wait, t0 + 61s));
}

TEST(ListServerLimits, ListensOnEveryAddressItIsGiven) {
    if (!RawHttp::HasIpv6Loopback())
        GTEST_SKIP() << "no IPv6 loopback here";
    const auto root =
        std::filesystem::temp_directory_path() / ("quorane-listen-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root);
    std::ofstream(root / "ver.txt") << "1.02";
    {
        ListService service(root.string());
        HttpServer server(service, {}, nullptr);
        std::string error;
        ASSERT_TRUE(server.Listen("127.0.0.1", 0, error)) << error;
        ASSERT_TRUE(server.Listen("::1", 0, error)) << error;
        ASSERT_TRUE(server.Start(error)) << error;
        ASSERT_EQ(server.Addresses().size(), 2u);
        const std::string port = std::to_string(server.Port());
        EXPECT_EQ(server.Addresses()[0], "127.0.0.1:" + port);
        EXPECT_EQ(server.Addresses()[1], "[::1]:" + port);
        for (const char *to : {"127.0.0.1", "::1"}) {
            RawHttp client(server.Port(), "", to);
            client.Send(RawHttp::Get("/quorane/ver.txt"));
            EXPECT_EQ(client.Receive().body, "1.02") << to;
        }
    }
    std::filesystem::remove_all(root);
}
