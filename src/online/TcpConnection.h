#pragma once
// One TCP connection of the list-server client, on plain POSIX sockets so
// that a failure carries the platform's own error number. It connects to the
// server's IPv4 addresses first and to its IPv6 ones after them, so a name
// with only an IPv6 address is reached as well. Every wait is
// bounded: the name lookup and connecting by the connect limit, each read by
// the read limit, and all of them by the deadline of the whole request, which
// is checked also while bytes keep arriving. Failures raise QuoraneError with
// the texts the user sees ("Socket Error # 111", CR LF, "Connection refused.").
// Owned and used by the UI thread only (the name lookup alone runs on a
// short-lived thread of its own, so that a stalled resolver cannot hold the
// windows past the connect limit).
#include <QByteArray>
#include <QString>
#include <chrono>
#include <string>
#include <sys/socket.h>
#include <vector>

class TcpConnection {
public:
    using Deadline = std::chrono::steady_clock::time_point;

    TcpConnection() = default;
    ~TcpConnection();
    TcpConnection(const TcpConnection &) = delete;
    TcpConnection &operator=(const TcpConnection &) = delete;

    // Looks up the host's addresses and connects to the first that answers;
    // the lookup and the connect together take at most connectTimeoutMs.
    void Open(const QString &host, int port, int connectTimeoutMs, Deadline deadline);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    // True when the last failure was a wait that ran out.
    bool TimedOut() const { return timedOut_; }
    const QString &Host() const { return host_; }
    int Port() const { return port_; }
    // True when the server closed or broke the connection while it was idle
    // (or sent something nobody asked for): it cannot carry a new request.
    bool PeerGone();
    // Ends a request: lets go of the receive buffer, or closes the
    // connection when bytes came that no request asked for.
    void EndRequest();

    void SendAll(const QByteArray &bytes, Deadline deadline);
    // The next line without its line end (LF, or CR LF). False when the
    // stream ended before any byte of it; a last line without a line end is
    // returned as it is.
    bool ReadLine(QByteArray &line, Deadline deadline);
    // Appends up to n bytes to out; fewer only when the stream ended. Raises
    // TooLargeText rather than let out grow past maxBytes.
    void Read(QByteArray &out, qint64 n, qint64 maxBytes, Deadline deadline);
    // Appends everything up to the server's closing of the connection, at
    // most maxBytes in all.
    void ReadToEnd(QByteArray &out, qint64 maxBytes, Deadline deadline);

    // How long one read may wait for the next bytes; tests shorten it.
    int readTimeoutMs = 0;
    // The length of the whole request's deadline, for its message.
    int requestTimeoutMs = 0;

    // One address of a server, IPv4 or IPv6.
    struct Address {
        sockaddr_storage storage{};
        socklen_t length = 0;
    };
    // What a name lookup found: the addresses, IPv4 ones first, or why
    // there are none: the resolver's number (see LookupErrorText), or the
    // errno of a failure of the system underneath.
    struct LookupResult {
        std::vector<Address> addresses;
        int resolverError = 0;
        int systemError = 0;
    };
    // The system resolver's answer for `host`. Blocking.
    static LookupResult Resolve(const std::string &host);

    // The message of a failed socket operation with the platform's error
    // number, in the form the user sees. The resolver's failures have
    // numbers of their own (netdb.h): HOST_NOT_FOUND for a name that does
    // not exist, TRY_AGAIN for a lookup that cannot be made now (no network,
    // no answer from the name server), NO_DATA for a name without an
    // address, NO_RECOVERY for a name server that refused.
    static QString SocketErrorText(int number);
    static QString LookupErrorText(int number);
    // The message of an answer larger than maxBytes.
    static QString TooLargeText(qint64 maxBytes);

private:
    // Reads more bytes into the buffer; false at the end of the stream.
    bool Fill(Deadline deadline);
    // Closes and raises the message of the wait that ran out: the whole
    // request's when its deadline bounded the wait, else the read limit's.
    [[noreturn]] void TimeOut(bool wholeRequest);
    std::vector<Address> Lookup(const QString &host, int timeoutMs);
    // Connects to one address within timeoutMs: the socket, or -1 with the
    // error in *error (ETIMEDOUT when the wait ran out).
    static int ConnectTo(const Address &address, int port, int timeoutMs, int *error);
    int fd_ = -1;
    QString host_;
    int port_ = 0;
    QByteArray buffer_; // received; bytes from consumed_ on are not yet read
    qsizetype consumed_ = 0;
    bool timedOut_ = false;
};
