#pragma once
// One TCP connection of the list-server client, on plain POSIX sockets so
// that a failure carries the platform's own error number. Every wait is
// bounded: connecting by the connect limit, each read by the read limit and
// by the deadline of the whole request. Failures raise QuoraneError with the
// texts the user sees ("Socket Error # 111", CR LF, "Connection refused.").
// Owned and used by the UI thread only.
#include <QByteArray>
#include <QString>
#include <chrono>

class TcpConnection {
public:
    using Deadline = std::chrono::steady_clock::time_point;

    TcpConnection() = default;
    ~TcpConnection();
    TcpConnection(const TcpConnection &) = delete;
    TcpConnection &operator=(const TcpConnection &) = delete;

    // Looks up the host's IPv4 address and connects to it.
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
    // Appends up to n bytes to out; fewer only when the stream ended.
    void Read(QByteArray &out, qint64 n, Deadline deadline);
    // Appends everything up to the server's closing of the connection.
    void ReadToEnd(QByteArray &out, Deadline deadline);

    // How long one read may wait for the next bytes; tests shorten it.
    int readTimeoutMs = 0;

    // The message of a failed socket operation with the platform's error
    // number, in the form the user sees.
    static QString SocketErrorText(int number);

private:
    // Reads more bytes into the buffer; false at the end of the stream.
    bool Fill(Deadline deadline);
    [[noreturn]] void TimeOut();
    int fd_ = -1;
    QString host_;
    int port_ = 0;
    QByteArray buffer_; // received and not yet consumed
    qsizetype consumed_ = 0;
    bool timedOut_ = false;
};
