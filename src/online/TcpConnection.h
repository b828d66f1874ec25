#pragma once
// One TCP connection of the list-server client, on plain POSIX sockets so
// that a failure carries the platform's own error number. Every wait is
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
#include <functional>
#include <netinet/in.h>
#include <string>

class TcpConnection {
public:
    using Deadline = std::chrono::steady_clock::time_point;

    TcpConnection() = default;
    ~TcpConnection();
    TcpConnection(const TcpConnection &) = delete;
    TcpConnection &operator=(const TcpConnection &) = delete;

    // Looks up the host's IPv4 address and connects to it; the lookup and
    // the connect together take at most connectTimeoutMs.
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

    void SendAll(const QByteArray &bytes, Deadline deadline);
    // The next line without its line end (LF, or CR LF). False when the
    // stream ended before any byte of it; a last line without a line end is
    // returned as it is.
    bool ReadLine(QByteArray &line, Deadline deadline);
    // Appends up to n bytes to out; fewer only when the stream ended. Raises
    // "too large" rather than let out grow past maxBytes.
    void Read(QByteArray &out, qint64 n, qint64 maxBytes, Deadline deadline);
    // Appends everything up to the server's closing of the connection, at
    // most maxBytes in all.
    void ReadToEnd(QByteArray &out, qint64 maxBytes, Deadline deadline);

    // How long one read may wait for the next bytes; tests shorten it.
    int readTimeoutMs = 0;
    // The length of the whole request's deadline, for its message.
    int requestTimeoutMs = 0;

    // Finds the IPv4 address of a host name: 0 when found, -1 when the name
    // does not exist, else the errno of the failure. Blocking.
    using Resolver = std::function<int(const std::string &host, in_addr *address)>;
    static int SystemResolver(const std::string &host, in_addr *address);
    // The resolver every connection uses: the system's, unless a test put in
    // one that stalls. UI thread.
    static Resolver &ResolverInUse();

    // The message of a failed socket operation with the platform's error
    // number, in the form the user sees.
    static QString SocketErrorText(int number);

private:
    // Reads more bytes into the buffer; false at the end of the stream.
    bool Fill(Deadline deadline);
    // Closes and raises the message of the wait that ran out: the whole
    // request's when its deadline bounded the wait, else the read limit's.
    [[noreturn]] void TimeOut(bool wholeRequest);
    in_addr Lookup(const QString &host, int timeoutMs);
    int fd_ = -1;
    QString host_;
    int port_ = 0;
    QByteArray buffer_; // received and not yet consumed
    qsizetype consumed_ = 0;
    bool timedOut_ = false;
};
