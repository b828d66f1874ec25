// quorane-listserver's server on 127.0.0.1 with raw HTTP: the files byte for
// byte, the page, submissions arriving in pending.txt as typed, what it
// refuses, and how it holds up against slow, many and concurrent clients.
#include "RawHttp.h"
#include "RealListServer.h"

#include <atomic>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <strings.h>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Latin-1 bytes, CR LF line ends and a last line without one: all kept.
const std::string Stations = "Radio <b>One</b>\tNews & talk\tNews\tUK\tEnglish\t"
                             "http://one.example/live\t\r\n"
                             "Caf\xE9 FM\t\tJazz\tFR\tFrench\thttp://cafe.example/\t\r\n"
                             "Last\t\t\t\t\thttp://last.example/";

RawHttp::Answer Ask(uint16_t port, const std::string &request, bool headOnly = false) {
    RawHttp client(port);
    client.Send(request);
    return client.Receive(headOnly);
}

// Quorane's form with one value changed.
std::string Form(const std::string &radio, const std::string &desc = "d") {
    return "radio=" + radio +
           "&url=http%3A%2F%2Fs.example%2Flive&genre=g&country=c&lang=l&desc=" + desc;
}

std::vector<std::string> LinesOf(const std::string &text) {
    std::vector<std::string> lines;
    size_t at = 0, end;
    while ((end = text.find("\r\n", at)) != std::string::npos) {
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    EXPECT_EQ(at, text.size()) << "a line without CR LF";
    return lines;
}

} // namespace

TEST(ListServer, ServesTheFilesByteForByteAndAPageOfTheStations) {
    RealListServer server;
    server.Write("stations.txt", Stations);
    server.Write("ver.txt", "\xEF\xBB\xBF"
                            "1.03\r\n");

    RawHttp::Answer a = Ask(server.port(), RawHttp::Get("/quorane/stations.txt"));
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.body, Stations);
    EXPECT_EQ(a.Header("Content-Type"), "text/plain");
    EXPECT_EQ(Ask(server.port(), RawHttp::Get("/quorane/ver.txt")).body, "\xEF\xBB\xBF"
                                                                         "1.03\r\n");
    // HEAD: the length of the file, no body.
    a = Ask(server.port(), "HEAD /quorane/stations.txt HTTP/1.1\r\nHost: x\r\n\r\n", true);
    EXPECT_EQ(a.Header("Content-Length"), std::to_string(Stations.size()));

    // The page escapes what the list holds and reads Latin-1 as such.
    a = Ask(server.port(), RawHttp::Get("/quorane/"));
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.Header("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(a.body.find("<td>Radio &lt;b&gt;One&lt;/b&gt;</td>"), std::string::npos) << a.body;
    EXPECT_EQ(a.body.find("<b>One"), std::string::npos);
    EXPECT_NE(a.body.find("News &amp; talk"), std::string::npos);
    EXPECT_NE(a.body.find("Caf\xC3\xA9 FM"), std::string::npos);
    EXPECT_NE(a.body.find("Latest Quorane version: 1.03</p>"), std::string::npos);
    EXPECT_NE(a.body.find("3 stations"), std::string::npos);

    // An edited list is served at once; a missing file is a 404.
    server.Write("stations.txt", "New\t\t\t\t\thttp://new.example/\t\r\n");
    EXPECT_EQ(Ask(server.port(), RawHttp::Get("/quorane/stations.txt")).body,
              "New\t\t\t\t\thttp://new.example/\t\r\n");
    std::filesystem::remove(server.Path("ver.txt"));
    EXPECT_EQ(Ask(server.port(), RawHttp::Get("/quorane/ver.txt")).status, 404);
    // A ver.txt the server cannot read is its own fault, not a missing file.
    std::filesystem::create_directory(server.Path("ver.txt"));
    EXPECT_EQ(Ask(server.port(), RawHttp::Get("/quorane/ver.txt")).status, 500);
    EXPECT_EQ(Ask(server.port(), RawHttp::Get("/quorane/../etc/passwd")).status, 404);
    EXPECT_EQ(Ask(server.port(), RawHttp::Post("/quorane/stations.txt", "x=1")).status, 405);
    // One log line per request.
    const std::string log = server.Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 9) << log;
    EXPECT_NE(log.find("127.0.0.1:"), std::string::npos);
    EXPECT_NE(
        log.find("\"GET /quorane/stations.txt HTTP/1.1\" 200 " + std::to_string(Stations.size())),
        std::string::npos)
        << log;
}

TEST(ListServer, SubmissionsLandInPendingAsTypedOneLineEach) {
    RealListServer server;
    server.Write("stations.txt", Stations);
    const std::pair<std::string, std::string> cases[] = {
        {"Rock%20%26%20Roll", "Rock & Roll"},
        {"a%3Db", "a=b"},
        {"1%2B1", "1+1"},
        {"100%25", "100%"},
        {"Caf%C3%A9", "Caf\xC3\xA9"},
        {"Smile%E2%98%BA", "Smile\xE2\x98\xBA"},
        // A browser's form sends a space as "+".
        {"Two+words", "Two words"},
        // Tabs and line ends would split the line: they become spaces.
        {"tab%09here", "tab here"},
        {"line%0D%0Aend", "line  end"},
    };
    std::string expected;
    for (const auto &[sent, stored] : cases) {
        const RawHttp::Answer a =
            Ask(server.port(), RawHttp::Post("/quorane/add.php", Form(sent, "x%0Ay")));
        EXPECT_EQ(a.status, 200) << sent << a.body;
        expected += stored + "\tx y\tg\tc\tl\thttp://s.example/live\t\t\r\n";
    }
    EXPECT_EQ(server.Read("pending.txt"), expected);
    for (const std::string &line : LinesOf(server.Read("pending.txt")))
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 7) << line;
    // The served list is never touched.
    EXPECT_EQ(server.Read("stations.txt"), Stations);
}

TEST(ListServer, RefusesAnythingButAWholeFormAndStoresNothingOfIt) {
    RealListServer server;
    const std::pair<std::string, int> bad[] = {
        {RawHttp::Post("/quorane/add.php", "radio=x&url=y"), 400},        // fields missing
        {RawHttp::Post("/quorane/add.php", Form("x") + "&radio=y"), 400}, // a field twice
        {RawHttp::Post("/quorane/add.php", Form("50%")), 400},            // a bare %
        {RawHttp::Post("/quorane/add.php", Form("Rock & Roll")), 400},    // " Roll" has no "="
        {RawHttp::Post("/quorane/add.php", Form("Caf%E9")), 400},         // not UTF-8
        {RawHttp::Post("/quorane/add.php", ""), 400},
        {RawHttp::Post("/quorane/add.php", Form("x"), "multipart/form-data"), 415},
        {RawHttp::Post("/quorane/add.php", Form("x", std::string(64 * 1024, 'a'))), 413},
        {RawHttp::Get("/quorane/add.php"), 405},
        {"POST /quorane/add.php HTTP/1.1\r\nTransfer-Encoding: "
         "chunked\r\n\r\n5\r\nradio\r\n0\r\n\r\n",
         411},
        {"GET /quorane/ver.txt HTTP/1.1\r\nX: " + std::string(20000, 'a') + "\r\n\r\n", 431},
        {"NOT HTTP AT ALL\r\n\r\n", 400},
    };
    for (const auto &[request, status] : bad)
        EXPECT_EQ(Ask(server.port(), request).status, status) << request.substr(0, 80);
    EXPECT_FALSE(std::filesystem::exists(server.Path("pending.txt")));
    // Exactly at the limit it is taken.
    const std::string base = Form("x", "");
    const std::string full = base + std::string(64 * 1024 - base.size(), 'a');
    EXPECT_EQ(Ask(server.port(), RawHttp::Post("/quorane/add.php", full)).status, 200);
    EXPECT_EQ(LinesOf(server.Read("pending.txt")).size(), 1u);
}

TEST(ListServer, KeepsConnectionsAsTheClientAsks) {
    RealListServer server;
    server.Write("ver.txt", "1.02");
    {
        // HTTP/1.1: kept; two requests in one go are both answered in order.
        RawHttp client(server.port());
        client.Send(RawHttp::Get("/quorane/ver.txt") + RawHttp::Get("/quorane/nothing"));
        EXPECT_EQ(client.Receive().body, "1.02");
        EXPECT_EQ(client.Receive().status, 404);
        client.Send(RawHttp::Get("/quorane/ver.txt", "Connection: close\r\n"));
        EXPECT_EQ(client.Receive().Header("Connection"), "close");
        EXPECT_TRUE(client.ClosedWithin(5s));
    }
    {
        // HTTP/1.0: closed unless it asks for keep-alive, as Quorane's POST does.
        RawHttp client(server.port());
        client.Send(RawHttp::Post("/quorane/add.php", Form("x")));
        const RawHttp::Answer a = client.Receive();
        EXPECT_EQ(a.status, 200);
        EXPECT_EQ(::strcasecmp(a.Header("Connection").c_str(), "keep-alive"), 0)
            << a.Header("Connection");
        client.Send("GET /quorane/ver.txt HTTP/1.0\r\n\r\n");
        EXPECT_EQ(client.Receive().body, "1.02");
        EXPECT_TRUE(client.ClosedWithin(5s));
    }
    {
        // A client that shuts its side after a request it sent as kept gets
        // the answer and the end at once, not after the idle time (15 s).
        RawHttp client(server.port());
        client.Send(RawHttp::Get("/quorane/ver.txt"));
        client.Finish();
        EXPECT_EQ(client.Receive().body, "1.02");
        EXPECT_TRUE(client.ClosedWithin(5s));
    }
}

TEST(ListServer, CutsOffASlowClientWhileServingTheOthers) {
    ServerLimits limits;
    limits.requestTimeoutMs = 1000;
    RealListServer server({}, limits);
    server.Write("ver.txt", "1.02");
    const auto start = std::chrono::steady_clock::now();
    // The request line at once, then its headers one byte every 250 ms: the
    // whole request would take 12 s.
    RawHttp slow(server.port());
    slow.Send("GET /quorane/ver.txt HTTP/1.1\r\n");
    const std::string headers = "Host: 127.0.0.1\r\nAccept: text/html, */*\r\n\r\n";
    std::atomic<bool> cut{false};
    std::thread drip([&] {
        for (size_t i = 0; i + 1 < headers.size() && !cut; ++i) {
            if (!slow.Send(headers.substr(i, 1)))
                break;
            std::this_thread::sleep_for(250ms);
        }
    });
    // Meanwhile another client is served.
    EXPECT_EQ(Ask(server.port(), RawHttp::Get("/quorane/ver.txt")).body, "1.02");
    const RawHttp::Answer a = slow.Receive(false, 20s);
    cut = true;
    drip.join();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(a.status, 408);
    EXPECT_EQ(a.body, "Request Timeout\n");
    EXPECT_GE(took, 900ms);
    EXPECT_LT(took, 9s) << "cut off only after the whole request came";
    EXPECT_NE(server.Log().find("\"/quorane/ver.txt\" 408 16 slow client cut off"),
              std::string::npos)
        << server.Log();

    // A connection that never sends a whole request line is closed without
    // an answer: a kept connection idle that long gets no stray 408.
    RawHttp idle(server.port());
    idle.Send("GET /quor");
    EXPECT_TRUE(idle.ClosedWithin(5s));
    EXPECT_EQ(idle.Received(), 0u);
}

TEST(ListServer, ServesFiftyClientsFromSevenMachinesAtOnce) {
    RealListServer server;
    std::string big;
    for (int i = 0; i < 5000; ++i)
        big +=
            "Station " + std::to_string(i) + "\t\t\t\t\thttp://s" + std::to_string(i) + "/\t\r\n";
    server.Write("stations.txt", big);
    std::vector<std::unique_ptr<RawHttp>> clients;
    // Eight at once is what one machine may have.
    for (int i = 0; i < 50; ++i)
        clients.push_back(
            std::make_unique<RawHttp>(server.port(), "127.0.0." + std::to_string(2 + i / 8)));
    for (auto &c : clients)
        ASSERT_TRUE(c->Send(RawHttp::Get("/quorane/stations.txt")));
    int whole = 0;
    for (auto &c : clients)
        whole += c->Receive().body == big;
    EXPECT_EQ(whole, 50);
}

TEST(ListServer, TwoServersOnOneFolderNeverMixTheirLines) {
    SubmissionLimits many;
    many.perMinute = 1000;
    RealListServer first({}, {}, many);
    RealListServer second(first.root(), {}, many);
    constexpr int PerThread = 60;
    auto post = [](uint16_t port, int thread) {
        for (int i = 0; i < PerThread; ++i) {
            const std::string name = "t" + std::to_string(thread) + "-" + std::to_string(i);
            // A long description makes a torn write likely if appends were not whole.
            EXPECT_EQ(
                Ask(port, RawHttp::Post("/quorane/add.php", Form(name, std::string(3000, 'd'))))
                    .status,
                200);
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(post, t % 2 ? first.port() : second.port(), t);
    for (auto &t : threads)
        t.join();
    std::set<std::string> names;
    for (const std::string &line : LinesOf(first.Read("pending.txt"))) {
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 7);
        EXPECT_EQ(line.substr(line.find('\t'), 3002), "\t" + std::string(3000, 'd') + "\t");
        names.insert(line.substr(0, line.find('\t')));
    }
    EXPECT_EQ(names.size(), size_t(4 * PerThread));
}

TEST(ListServer, AnswersOrClosesOnEveryMangledRequestAndGoesOnServing) {
    SubmissionLimits many;
    many.perMinute = 1000;
    // A request left incomplete is ended by the time limit: a short one
    // keeps the rounds quick.
    ServerLimits limits;
    limits.requestTimeoutMs = 500;
    limits.idleTimeoutMs = 1000;
    RealListServer server({}, limits, many);
    server.Write("ver.txt", "1.02");
    const std::string valid[] = {
        RawHttp::Get("/quorane/ver.txt"),
        RawHttp::Post("/quorane/add.php", Form("Mangled%20%E2%98%BA")),
        "HEAD /quorane/ HTTP/1.0\r\nConnection: keep-alive\r\n\r\n",
    };
    std::mt19937 random(20261209);
    auto mangle = [&random](std::string request) {
        for (int edits = 1 + int(random() % 5); edits > 0; --edits) {
            const size_t at = random() % request.size();
            switch (random() % 4) {
            case 0:
                request[at] = char(random() & 0xFF);
                break;
            case 1:
                request.erase(at, 1 + random() % 8);
                break;
            case 2:
                request.insert(at, std::string(1 + random() % 4, char(random() & 0xFF)));
                break;
            default:
                request.insert(at, "\r\n");
                break;
            }
            if (request.empty())
                request = "x";
        }
        return request;
    };
    int answered = 0;
    // 8 rounds of 25 clients at once, from four machines (eight each at most).
    for (int round = 0; round < 8; ++round) {
        std::vector<std::string> requests;
        std::vector<std::unique_ptr<RawHttp>> clients;
        for (int i = 0; i < 25; ++i) {
            requests.push_back(mangle(valid[(round * 25 + i) % std::size(valid)]));
            clients.push_back(
                std::make_unique<RawHttp>(server.port(), "127.0.0." + std::to_string(2 + i / 8)));
            clients.back()->Send(requests.back());
            clients.back()->Finish();
        }
        // With the client's side shut, a whole request is answered and the
        // connection closed; any other is answered or closed within the
        // time limit: either way the server is done within the guard.
        for (int i = 0; i < 25; ++i) {
            const RawHttp::Answer a = clients[size_t(i)]->Receive(false, 5s);
            answered += a.status != 0;
            if (a.status != 0) {
                EXPECT_TRUE(a.status >= 200 && a.status < 600) << a.head;
            }
            EXPECT_TRUE(clients[size_t(i)]->ClosedWithin(5s)) << requests[size_t(i)];
        }
    }
    EXPECT_GT(answered, 50);
    // Still serving, and pending.txt holds only whole lines.
    EXPECT_EQ(Ask(server.port(), RawHttp::Get("/quorane/ver.txt")).body, "1.02");
    for (const std::string &line : LinesOf(server.Read("pending.txt")))
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 7) << line;
}
