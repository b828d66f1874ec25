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

[[noreturn]] void TooLarge(qint64 maxBytes) {
    throw QuoraneError(TcpConnection::TooLargeText(maxBytes));
}

// Appends n bytes without letting out grow past maxBytes, neither its size
// nor the memory it holds: QByteArray would otherwise double its capacity.
void AppendBounded(QByteArray &out, const char *data, qsizetype n, qint64 maxBytes) {
    if (out.size() + qint64(n) > maxBytes)
        TooLarge(maxBytes);
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
struct PendingLookup {
    std::mutex mutex;
    std::condition_variable ready;
    bool done = false;
    TcpConnection::LookupResult result;
};

// The addresses of a getaddrinfo answer, IPv4 first: an IPv4 address is
// what a list server has always been reached by, and IPv6 serves a name
// that has no other.
std::vector<TcpConnection::Address> Addresses(const addrinfo *found) {
    std::vector<TcpConnection::Address> v4;
    std::vector<TcpConnection::Address> v6;
    for (const addrinfo *a = found; a; a = a->ai_next) {
        if ((a->ai_family != AF_INET && a->ai_family != AF_INET6) ||
            a->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        TcpConnection::Address address;
        std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
        address.length = a->ai_addrlen;
        (a->ai_family == AF_INET ? v4 : v6).push_back(address);
    }
    v4.insert(v4.end(), v6.begin(), v6.end());
    return v4;
}

// A literal IPv4 or IPv6 address needs no resolver and no thread.
bool LiteralAddress(const std::string &host, std::vector<TcpConnection::Address> &out) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0)
        return false;
    out = Addresses(found);
    ::freeaddrinfo(found);
    return !out.empty();
}

} // namespace

TcpConnection::LookupResult TcpConnection::Resolve(const std::string &host) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    errno = 0;
    const int status = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    LookupResult result;
    switch (status) {
    case 0:
        result.addresses = Addresses(found);
        ::freeaddrinfo(found);
        if (result.addresses.empty())
            result.resolverError = NO_DATA;
        break;
    case EAI_NONAME:
        result.resolverError = HOST_NOT_FOUND;
        break;
    case EAI_AGAIN:
        result.resolverError = TRY_AGAIN;
        break;
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
        result.resolverError = NO_DATA;
        break;
    case EAI_MEMORY:
        result.systemError = ENOMEM;
        break;
    case EAI_SYSTEM:
        if (errno != 0) {
            result.systemError = errno;
            break;
        }
        [[fallthrough]];
    default: // EAI_FAIL, and the failures a correct call never gets
        result.resolverError = NO_RECOVERY;
        break;
    }
    return result;
}

std::vector<TcpConnection::Address> TcpConnection::Lookup(const QString &host, int timeoutMs) {
    const std::string name = host.toStdString();
    std::vector<Address> literal;
    if (LiteralAddress(name, literal))
        return literal;
    auto pending = std::make_shared<PendingLookup>();
    std::thread([pending, name] {
        LookupResult result = Resolve(name);
        std::lock_guard lock(pending->mutex);
        pending->done = true;
        pending->result = std::move(result);
        pending->ready.notify_all();
    }).detach();
    std::unique_lock lock(pending->mutex);
    if (!pending->ready.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return pending->done; })) {
        timedOut_ = true;
        throw QuoraneError(QStringLiteral("Looking up %1 took longer than %2 seconds.")
                               .arg(host, Seconds(timeoutMs)));
    }
    const LookupResult &result = pending->result;
    if (result.systemError != 0)
        Fail(result.systemError);
    if (result.resolverError != 0)
        throw QuoraneError(LookupErrorText(result.resolverError));
    return result.addresses;
}

QString TcpConnection::LookupErrorText(int number) {
    const char *reason = number == HOST_NOT_FOUND ? "Host not found."
                         : number == TRY_AGAIN
                             ? "The host name could not be looked up now (no network, or no "
                               "answer from the name server)."
                         : number == NO_DATA ? "The host name has no address."
                                             : "The name server could not look up the host name.";
    return QStringLiteral("Socket Error # %1\r\n%2").arg(number).arg(QLatin1String(reason));
}

QString TcpConnection::SocketErrorText(int number) {
    const char *reason = number == ECONNREFUSED                    ? "Connection refused."
                         : number == ETIMEDOUT                     ? "Connection timed out."
                         : number == ENETUNREACH                   ? "Network is unreachable."
                         : number == EHOSTUNREACH                  ? "No route to host."
                         : number == ECONNRESET || number == EPIPE ? "Connection reset by peer."
                                                                   : nullptr;
    return QStringLiteral("Socket Error # %1\r\n%2")
        .arg(number)
        .arg(reason ? QString::fromLatin1(reason)
                    : QString::fromLocal8Bit(std::strerror(number)) + QLatin1Char('.'));
}

QString TcpConnection::TooLargeText(qint64 maxBytes) {
    const QString size = maxBytes % (1024 * 1024) == 0
                             ? QStringLiteral("%1 MiB").arg(maxBytes >> 20)
                         : maxBytes % 1024 == 0 ? QStringLiteral("%1 KiB").arg(maxBytes >> 10)
                                                : QStringLiteral("%1 bytes").arg(maxBytes);
    return QStringLiteral("The list server's answer is larger than %1.").arg(size);
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

int TcpConnection::ConnectTo(const Address &address, int port, int timeoutMs, int *error) {
    sockaddr_storage target = address.storage;
    if (target.ss_family == AF_INET)
        reinterpret_cast<sockaddr_in *>(&target)->sin_port = htons(quint16(port));
    else
        reinterpret_cast<sockaddr_in6 *>(&target)->sin6_port = htons(quint16(port));
    const int fd = ::socket(target.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&target), address.length) == 0)
        return fd;
    *error = errno;
    if (*error != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    bool ready = false;
    try {
        ready = WaitFor(fd, POLLOUT, timeoutMs);
    } catch (...) {
        ::close(fd);
        throw;
    }
    int soError = 0;
    socklen_t len = sizeof soError;
    if (ready && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0)
        soError = errno;
    if (ready && soError == 0)
        return fd;
    ::close(fd);
    *error = ready ? soError : ETIMEDOUT;
    return -1;
}

void TcpConnection::Open(const QString &host, int port, int connectTimeoutMs, Deadline deadline) {
    Close();
    timedOut_ = false;
    const auto started = Clock::now();
    const std::vector<Address> addresses = Lookup(host, WaitMs(connectTimeoutMs, deadline));
    // Each address in turn, while the connect limit lasts; the message is
    // the first address's, the one a server is normally reached by.
    int firstError = 0;
    for (const Address &address : addresses) {
        const auto spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
        const int left = WaitMs(int(std::max<long long>(0, connectTimeoutMs - spent)), deadline);
        if (left <= 0 && firstError != 0)
            break;
        int error = 0;
        const int fd = ConnectTo(address, port, left, &error);
        if (fd >= 0) {
            fd_ = fd;
            host_ = host;
            port_ = port;
            return;
        }
        if (firstError == 0)
            firstError = error;
    }
    timedOut_ = firstError == ETIMEDOUT;
    Fail(firstError);
}

void TcpConnection::EndRequest() {
    if (consumed_ < buffer_.size())
        Close();
    buffer_ = QByteArray();
    consumed_ = 0;
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
    // Read out: its room is used again (EndRequest lets go of it), rather
    // than a new block for every read of a long answer.
    if (consumed_ > 0 && consumed_ == buffer_.size()) {
        buffer_.truncate(0);
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
        TooLarge(maxBytes);
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
