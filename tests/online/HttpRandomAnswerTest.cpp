// The client against answers broken at random: every one either succeeds or
// fails with a message, never crashes, never hangs, and the client goes on
// working afterwards.
#include "ListServer.h"
#include "online/NetLimits.h"
#include "online/TIdHTTP.h"
#include "platform/QuoraneError.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

using quorane::test::ListAnswer;
using quorane::test::ListServer;

namespace {

const std::string Valid[] = {
    "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 12\r\n"
    "Set-Cookie: a=b; Path=/\r\n\r\nRadio\tOne\r\nX",
    "HTTP/1.1 200 OK\r\nTransfer-Encoding: "
    "chunked\r\n\r\n5\r\nRadio\r\n3;x=y\r\n\tA\n\r\n0\r\n\r\n",
    "HTTP/1.0 404 Not Found\r\nConnection: keep-alive\r\n\r\nmissing",
    "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 302 Found\r\nLocation: /x\r\n\r\n",
};

} // namespace

TEST(HttpRandomAnswers, EveryBrokenAnswerEndsInAResultOrAMessage) {
    ListServer server;
    TIdHTTP http;
    http.ReadTimeoutMs = 200;
    const QString url = QStringLiteral("http://127.0.0.1:%1/r").arg(server.port());
    std::mt19937 random(20261209);
    int failures = 0;
    for (int round = 0; round < 300; ++round) {
        std::string answer = Valid[round % std::size(Valid)];
        const int edits = 1 + int(random() % 6);
        for (int e = 0; e < edits && !answer.empty(); ++e) {
            const size_t at = random() % answer.size();
            switch (random() % 4) {
            case 0:
                answer[at] = char(random() & 0xFF);
                break;
            case 1:
                answer.erase(at, 1 + random() % 8);
                break;
            case 2:
                answer.insert(at, std::string(1 + random() % 4, char(random() & 0xFF)));
                break;
            default:
                answer.resize(at);
                break;
            }
        }
        ListAnswer a;
        a.raw = answer.empty() ? std::string("\r\n") : answer;
        server.answer("/r", a);
        try {
            http.Get(url, NetLimits::MaxStationListBytes);
        } catch (const QuoraneError &e) {
            EXPECT_FALSE(e.message().isEmpty());
            ++failures;
        }
    }
    // Most of the broken answers must have been noticed as such.
    EXPECT_GT(failures, 150);
    ListAnswer fine;
    fine.body = "fine";
    server.answer("/r", fine);
    EXPECT_EQ(http.Get(url, NetLimits::MaxStationListBytes), "fine");
}

// A server whose queue of waiting connections is full drops new ones
// unanswered: the connect limit ends the wait.
TEST(HttpConnectLimit, AServerThatNeverTakesTheConnectionTimesOut) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr *>(&addr), &len), 0);
    // Fill the queue; these connections are never accepted.
    std::vector<int> waiting;
    for (int i = 0; i < 4; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        waiting.push_back(fd);
    }
    TIdHTTP http;
    http.ConnectTimeoutMs = 300;
    QString message;
    try {
        http.Get(QStringLiteral("http://127.0.0.1:%1/x").arg(ntohs(addr.sin_port)),
                 NetLimits::MaxVersionBytes);
    } catch (const QuoraneError &e) {
        message = e.message();
    }
    for (int fd : waiting)
        ::close(fd);
    ::close(listener);
    EXPECT_EQ(message, "Socket Error # 110\r\nConnection timed out.");
}
