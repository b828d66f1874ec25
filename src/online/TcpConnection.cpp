#include "online/TcpConnection.h"

#include "online/NetLimits.h"
#include "platform/QuoraneError.h"

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(int number) {
    throw QuoraneError(TcpConnection::SocketErrorText(number));
}

// Milliseconds to wait now: the smaller of `limitMs` and what is left of
// the deadline; 0 when the deadline has passed.
int WaitMs(int limitMs, TcpConnection::Deadline deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
        return 0;
    return int(std::min<long long>(left, limitMs));
}

// Waits for `events` on fd; false when the wait ran out.
bool WaitFor(int fd, short events, int ms) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        pollfd p{fd, events, 0};
        const int left = int(std::max<long long>(
            0,
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count()));
        const int ready = ::poll(&p, 1, left);
        if (ready > 0)
            return true;
        if (ready == 0)
            return false;
        if (errno != EINTR)
            Fail(errno);
    }
}

[[noreturn]] void TooLarge() {
    throw QuoraneError(QStringLiteral("The server's answer is too large."));
}

// Appends n bytes without letting out grow past maxBytes, neither its size
// nor the memory it holds: QByteArray would otherwise double its capacity.
void AppendBounded(QByteArray &out, const char *data, qsizetype n, qint64 maxBytes) {
    if (out.size() + qint64(n) > maxBytes)
        TooLarge();
    if (out.capacity() < out.size() + n)
        out.reserve(qsizetype(
            std::min<qint64>(maxBytes, std::max<qint64>(out.size() + n, 2 * out.size()))));
    out.append(data, n);
}

QString Seconds(int ms) {
    return ms % 1000 == 0 ? QString::number(ms / 1000) : QString::number(ms / 1000.0);
}

// What the lookup thread hands back. Shared with that thread, which may
// outlive the wait when the resolver stalls; the mutex guards every field.
struct LookupResult {
    std::mutex mutex;
    std::condition_variable ready;
    bool done = false;
    int status = 0;
    in_addr address{};
};

} // namespace

int TcpConnection::SystemResolver(const std::string &host, in_addr *address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const int lookup = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (lookup == EAI_SYSTEM)
        return errno != 0 ? errno : -1;
    if (lookup != 0 || !found)
        return -1;
    *address = reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return 0;
}

TcpConnection::Resolver &TcpConnection::ResolverInUse() {
    static Resolver resolver = SystemResolver;
    return resolver;
}

in_addr TcpConnection::Lookup(const QString &host, int timeoutMs) {
    const std::string name = host.toStdString();
    in_addr address{};
    // A literal address needs no resolver.
    if (::inet_pton(AF_INET, name.c_str(), &address) == 1)
        return address;
    auto result = std::make_shared<LookupResult>();
    std::thread([result, name, resolve = ResolverInUse()] {
        in_addr found{};
        const int status = resolve(name, &found);
        std::lock_guard lock(result->mutex);
        result->done = true;
        result->status = status;
        result->address = found;
        result->ready.notify_all();
    }).detach();
    std::unique_lock lock(result->mutex);
    if (!result->ready.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [&] { return result->done; })) {
        timedOut_ = true;
        throw QuoraneError(QStringLiteral("Looking up %1 took longer than %2 seconds.")
                               .arg(host, Seconds(timeoutMs)));
    }
    if (result->status > 0)
        Fail(result->status);
    if (result->status < 0)
        // The resolver's own number for a name that does not exist.
        throw QuoraneError(
            QStringLiteral("Socket Error # %1\r\nHost not found.").arg(HOST_NOT_FOUND));
    return result->address;
}

QString TcpConnection::SocketErrorText(int number) {
    QString reason;
    switch (number) {
    case ECONNREFUSED:
        reason = QStringLiteral("Connection refused.");
        break;
    case ETIMEDOUT:
        reason = QStringLiteral("Connection timed out.");
        break;
    case ENETUNREACH:
        reason = QStringLiteral("Network is unreachable.");
        break;
    case EHOSTUNREACH:
        reason = QStringLiteral("No route to host.");
        break;
    case ECONNRESET:
    case EPIPE:
        reason = QStringLiteral("Connection reset by peer.");
        break;
    default:
        reason = QString::fromLocal8Bit(std::strerror(number)) + QLatin1Char('.');
        break;
    }
    return QStringLiteral("Socket Error # %1\r\n%2").arg(number).arg(reason);
}

TcpConnection::~TcpConnection() {
    Close();
}

void TcpConnection::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    buffer_.clear();
    consumed_ = 0;
}

void TcpConnection::TimeOut(bool wholeRequest) {
    Close();
    timedOut_ = true;
    if (wholeRequest && requestTimeoutMs > 0)
        throw QuoraneError(QStringLiteral("The list server took longer than %1 seconds to answer.")
                               .arg(Seconds(requestTimeoutMs)));
    throw QuoraneError(QStringLiteral("Read timed out."));
}

void TcpConnection::Open(const QString &host, int port, int connectTimeoutMs, Deadline deadline) {
    Close();
    timedOut_ = false;
    const auto started = Clock::now();
    const int lookupMs = WaitMs(connectTimeoutMs, deadline);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr = Lookup(host, lookupMs);
    addr.sin_port = htons(quint16(port));

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        Fail(errno);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0) {
        const int err = errno;
        if (err != EINPROGRESS) {
            ::close(fd);
            Fail(err);
        }
        bool ready = false;
        try {
            const auto spent =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started)
                    .count();
            ready =
                WaitFor(fd, POLLOUT,
                        WaitMs(int(std::max<long long>(0, connectTimeoutMs - spent)), deadline));
        } catch (...) {
            ::close(fd);
            throw;
        }
        int soError = 0;
        socklen_t len = sizeof soError;
        if (ready && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0)
            soError = errno;
        if (!ready || soError != 0) {
            ::close(fd);
            timedOut_ = !ready;
            Fail(ready ? soError : ETIMEDOUT);
        }
    }
    fd_ = fd;
    host_ = host;
    port_ = port;
}

bool TcpConnection::PeerGone() {
    if (fd_ < 0)
        return true;
    if (consumed_ < buffer_.size())
        return true;
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, 0);
    // Readable while idle means an end of stream, an error, or bytes nobody
    // asked for: in every case the connection cannot be trusted again.
    return ready != 0;
}

void TcpConnection::SendAll(const QByteArray &bytes, Deadline deadline) {
    const int limit = readTimeoutMs > 0 ? readTimeoutMs : NetLimits::ReadTimeoutMs;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(fd_, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n >= 0) {
            done += n;
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            const int err = errno;
            Close();
            Fail(err);
        }
        const int ms = WaitMs(limit, deadline);
        if (!WaitFor(fd_, POLLOUT, ms))
            TimeOut(ms < limit);
    }
}

bool TcpConnection::Fill(Deadline deadline) {
    if (consumed_ > 0 && consumed_ == buffer_.size()) {
        buffer_.clear();
        consumed_ = 0;
    }
    const int limit = readTimeoutMs > 0 ? readTimeoutMs : NetLimits::ReadTimeoutMs;
    char chunk[16384];
    for (;;) {
        // A server that keeps sending (an endless answer, a drip of bytes)
        // never lets a read wait run out: the whole request's end is checked
        // before every read.
        if (Clock::now() >= deadline)
            TimeOut(true);
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n > 0) {
            buffer_.append(chunk, n);
            return true;
        }
        if (n == 0)
            return false;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            const int err = errno;
            Close();
            Fail(err);
        }
        const int ms = WaitMs(limit, deadline);
        if (!WaitFor(fd_, POLLIN, ms))
            TimeOut(ms < limit);
    }
}

bool TcpConnection::ReadLine(QByteArray &line, Deadline deadline) {
    line.clear();
    for (;;) {
        const qsizetype lf = buffer_.indexOf('\n', consumed_);
        if (lf >= 0) {
            line = buffer_.mid(consumed_, lf - consumed_);
            consumed_ = lf + 1;
            if (line.endsWith('\r'))
                line.chop(1);
            return true;
        }
        if (buffer_.size() - consumed_ > NetLimits::MaxLineBytes)
            throw QuoraneError(QStringLiteral("The server's answer is not valid HTTP."));
        if (!Fill(deadline)) {
            line = buffer_.mid(consumed_);
            consumed_ = buffer_.size();
            return !line.isEmpty();
        }
    }
}

void TcpConnection::Read(QByteArray &out, qint64 n, qint64 maxBytes, Deadline deadline) {
    if (out.size() + n > maxBytes)
        TooLarge();
    while (n > 0) {
        if (consumed_ == buffer_.size() && !Fill(deadline))
            return;
        const qsizetype take = qsizetype(std::min<qint64>(n, buffer_.size() - consumed_));
        AppendBounded(out, buffer_.constData() + consumed_, take, maxBytes);
        consumed_ += take;
        n -= take;
    }
}

void TcpConnection::ReadToEnd(QByteArray &out, qint64 maxBytes, Deadline deadline) {
    for (;;) {
        if (consumed_ == buffer_.size() && !Fill(deadline))
            return;
        AppendBounded(out, buffer_.constData() + consumed_, buffer_.size() - consumed_, maxBytes);
        consumed_ = buffer_.size();
    }
}
