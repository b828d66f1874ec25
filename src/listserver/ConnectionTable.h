#pragma once
// Every connection the list server holds, with the limits that keep one
// machine from shutting the others out: at most `maxPerAddress` at once from
// one address and `maxClients` in all (further ones are refused as they
// come), and time limits that the HTTP library's own idle time-out cannot
// give, because it restarts whenever a byte moves: a connection has
// `requestTimeoutMs` from its opening (or from the end of its last answer)
// to send a whole request, and an answer has as long again to reach a reader
// however slowly it reads. A watchdog thread enforces them: a request still
// coming in is answered 408 and the connection closed; an answer still going
// out is cut off (a connection that has not even sent a whole request line
// is closed without a word: it may be a kept connection whose client just
// sent nothing, and a stray answer there would be taken for the answer to
// its next request). The table is shared by the server's threads (the library
// reports each connection on the thread that serves it) and the watchdog;
// one lock guards it.
#include "AccessLog.h"

#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unordered_map>

// The server's limits on its clients; set once before it starts, read-only after.
struct ServerLimits {
    int requestTimeoutMs = 30000; // a whole request; and a whole answer
    int idleTimeoutMs = 15000;    // a kept connection waiting for its next request
    int maxClients = 256;
    int maxPerAddress = 8;
};

class ConnectionTable {
public:
    using Clock = std::chrono::steady_clock;

    // One connection. Its fields belong to the table's lock; `peer` and
    // `address` never change once it is opened.
    struct Client {
        enum class Phase { Waiting, Answering };
        int fd = -1;
        std::string address; // numeric host, the unit of the per-address limit
        std::string peer;    // host:port, for the log
        Phase phase = Phase::Waiting;
        Clock::time_point deadline;
        std::string request; // the request line's target once it came; "" before
        bool cut = false;    // the watchdog has ended it
    };

    ConnectionTable(ServerLimits limits, AccessLog &log);
    ~ConnectionTable();
    ConnectionTable(const ConnectionTable &) = delete;
    ConnectionTable &operator=(const ConnectionTable &) = delete;

    // Whether a connection from `addr` may be taken on now. A refusal is
    // logged, at most one line a second however many come.
    bool Admit(const sockaddr *addr, socklen_t length);
    // A connection the library took on, and the same one gone (before its
    // socket is closed, so the watchdog never touches a reused descriptor).
    Client *Opened(int fd, const sockaddr *addr, socklen_t length);
    void Closed(Client *client);
    // The target of a request that started coming in.
    void Requested(Client *client, const std::string &target);
    // Its answer starts going out; false when the watchdog ended the
    // connection already (then no answer is to be queued).
    bool Answering(Client *client);
    // Its answer is done: the time for the next request starts.
    void Answered(Client *client);
    // Whether the watchdog ended it.
    bool Cut(Client *client);
    // How many answers are going out now.
    int AnswersGoingOut();

    static std::string AddressOf(const sockaddr *addr, socklen_t length, bool withPort);
    // Makes the coming close of `fd` reset the connection: what the system
    // still holds for a reader that stopped reading is dropped, instead of
    // reaching it at its own pace after the connection is gone.
    static void DropOnClose(int fd);

private:
    void Watch();
    // With the lock held: ends an overdue connection; moves a deadline,
    // waking the watchdog when it comes before the one it waits for.
    void CutOff(Client &client, Clock::time_point now);
    void SetDeadline(Client &client, Clock::time_point deadline);

    const ServerLimits limits_;
    AccessLog &log_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    Clock::time_point nextWake_ = Clock::time_point::max();
    std::list<Client> clients_;
    std::unordered_map<std::string, int> perAddress_;
    // Refusals since the last line that told of them, and when that was.
    int refusedUnlogged_ = 0;
    Clock::time_point lastRefusalLine_{};
    std::thread watchdog_;
};
