#include "online/TIdHTTP.h"

#include "online/CookieJar.h"
#include "online/HttpForm.h"
#include "online/NetLimits.h"
#include "platform/QuoraneError.h"

#include <QNetworkCookie>
#include <QUrl>

const char TIdHTTP::Accept[] = "text/html, */*";
const char TIdHTTP::AcceptEncoding[] = "identity";
const char TIdHTTP::UserAgent[] = "Mozilla/3.0 (compatible; Indy Library)";

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void NotHttp() {
    throw QuoraneError(QStringLiteral("The server's answer is not valid HTTP."));
}

// Compares header values as the server may spell them.
bool SameToken(const QByteArray &value, const char *token) {
    return value.trimmed().compare(token, Qt::CaseInsensitive) == 0;
}

} // namespace

// One answer as it arrives: the status line, the headers in order.
struct TIdHTTP::Answer {
    QByteArray statusLine;
    int code = -1;
    bool http11 = false;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    // The first header of that name (any case), null when absent.
    QByteArray Header(const char *name) const {
        for (const auto &h : headers)
            if (h.first.compare(name, Qt::CaseInsensitive) == 0)
                return h.second.isNull() ? QByteArray("") : h.second;
        return QByteArray();
    }
    bool KeepsConnection() const {
        QByteArray c = Header("Connection");
        if (c.isNull())
            c = Header("Proxy-Connection");
        if (http11)
            return !SameToken(c, "close");
        return SameToken(c, "keep-alive");
    }
};

TIdHTTP::TIdHTTP()
    : ConnectTimeoutMs(NetLimits::ConnectTimeoutMs), ReadTimeoutMs(NetLimits::ReadTimeoutMs),
      RequestTimeoutMs(NetLimits::RequestTimeoutMs), cookies_(std::make_unique<CookieJar>()) {}

TIdHTTP::~TIdHTTP() = default;

QString TIdHTTP::Get(const QString &url, qint64 maxBodyBytes) {
    return DecodeBody(Request("GET", url, nullptr, maxBodyBytes), contentType_);
}

QByteArray TIdHTTP::GetBytes(const QString &url, qint64 maxBodyBytes) {
    return Request("GET", url, nullptr, maxBodyBytes);
}

QString TIdHTTP::Post(const QString &url, const QStringList &fields) {
    const QByteArray form = HttpForm::Body(fields);
    return DecodeBody(Request("POST", url, &form, NetLimits::MaxReceiptBytes), contentType_);
}

void TIdHTTP::Disconnect() {
    connection_.Close();
}

QByteArray TIdHTTP::Charset(const QByteArray &contentType) {
    const qsizetype at = contentType.toLower().indexOf("charset");
    if (at < 0)
        return QByteArray();
    QByteArray rest = contentType.mid(at + 7).trimmed();
    if (rest.startsWith('='))
        rest = rest.mid(1).trimmed();
    if (rest.startsWith('"')) {
        const qsizetype close = rest.indexOf('"', 1);
        return close < 0 ? rest.mid(1) : rest.mid(1, close - 1);
    }
    const qsizetype semicolon = rest.indexOf(';');
    return semicolon < 0 ? rest : rest.left(semicolon);
}

QString TIdHTTP::DecodeBody(const QByteArray &body, const QByteArray &contentType) {
    const QByteArray charset = Charset(contentType);
    if (SameToken(charset, "UTF-8") || SameToken(charset, "UTF8"))
        return QString::fromUtf8(body);
    return QString::fromLatin1(body);
}

QByteArray TIdHTTP::CookieHeader(const QUrl &url) const {
    QByteArray value;
    for (const QNetworkCookie &c : cookies_->cookiesForUrl(url)) {
        if (!value.isEmpty())
            value += "; ";
        value += c.toRawForm(QNetworkCookie::NameAndValueOnly);
    }
    return value;
}

QByteArray TIdHTTP::Request(const QByteArray &method, const QString &text, const QByteArray *form,
                            qint64 maxBodyBytes) {
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0 ||
        url.host().isEmpty())
        throw QuoraneError(QStringLiteral("Invalid URL: %1").arg(text));
    const QString host = url.host();
    const int port = url.port(80);
    const auto deadline = Clock::now() + std::chrono::milliseconds(RequestTimeoutMs);
    connection_.readTimeoutMs = ReadTimeoutMs;
    connection_.requestTimeoutMs = RequestTimeoutMs;

    QByteArray target = url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty())
        target = "/";
    if (url.hasQuery())
        target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    const bool post = form != nullptr;
    QByteArray head = method + ' ' + target + (post ? " HTTP/1.0\r\n" : " HTTP/1.1\r\n");
    if (post) {
        head += "Connection: keep-alive\r\n";
        head += "Content-Type: application/x-www-form-urlencoded\r\n";
        head += "Content-Length: " + QByteArray::number(form->size()) + "\r\n";
    }
    // An IPv6 address goes in brackets, as in the URL.
    const QByteArray hostName = url.host(QUrl::FullyEncoded).toLatin1();
    head += "Host: " + (hostName.contains(':') ? '[' + hostName + ']' : hostName);
    if (port != 80)
        head += ':' + QByteArray::number(port);
    head += "\r\n";
    head += QByteArray("Accept: ") + Accept + "\r\n";
    head += QByteArray("Accept-Encoding: ") + AcceptEncoding + "\r\n";
    head += QByteArray("User-Agent: ") + UserAgent + "\r\n";
    const QByteArray cookie = CookieHeader(url);
    if (!cookie.isEmpty())
        head += "Cookie: " + cookie + "\r\n";
    head += "\r\n";

    // Every POST goes out on a new connection; a kept one serves only its own
    // host and port, and only while the server still holds it.
    if (post || (connection_.IsOpen() && (connection_.Host() != host ||
                                          connection_.Port() != port || connection_.PeerGone())))
        connection_.Close();

    const QByteArray request = post ? head + *form : head;
    Answer answer;
    bool keep = false;
    try {
        // A kept connection that the server dropped just as the request went
        // out gets one more try on a new one; nothing of the answer has come.
        const bool reused = connection_.IsOpen();
        bool answered = false;
        if (reused) {
            try {
                connection_.SendAll(request, deadline);
                answered = ReadAnswer(answer, url, deadline);
            } catch (const QuoraneError &) {
                if (connection_.IsOpen() || connection_.TimedOut())
                    throw;
            }
            if (!answered)
                connection_.Close();
        }
        if (!answered) {
            connection_.Open(host, port, ConnectTimeoutMs, deadline);
            connection_.SendAll(request, deadline);
            if (!ReadAnswer(answer, url, deadline))
                throw QuoraneError(QStringLiteral("Connection Closed Gracefully."));
        }

        responseCode_ = answer.code;
        contentType_ = answer.Header("Content-Type");
        const int code = answer.code;
        const bool redirect =
            (code >= 300 && code < 400 && code != 304) || !answer.Header("Location").isNull();
        if (redirect || code == 401 || code == 407) {
            // The body is left unread, so the connection cannot carry more.
            connection_.Close();
            throw QuoraneError(QString::fromLatin1(answer.statusLine));
        }
        const bool hasBody = code != 204 && code != 304 && !(code >= 100 && code < 200);
        // The body of an error answer is read, so that the connection can
        // carry the next request, and dropped.
        if (hasBody)
            ReadBody(answer, post, maxBodyBytes, deadline);
        keep = connection_.IsOpen() && answer.KeepsConnection();
        if (!keep)
            connection_.Close();
        connection_.EndRequest();
        if (code < 200 || code >= 300)
            throw QuoraneError(QString::fromLatin1(answer.statusLine));
    } catch (...) {
        // A failure in the middle of an answer leaves the connection in an
        // unknown state; only an error answer read to its end may be kept.
        if (!keep)
            connection_.Close();
        throw;
    }
    return std::move(answer.body);
}

bool TIdHTTP::ReadAnswer(Answer &answer, const QUrl &url, TcpConnection::Deadline deadline) {
    for (int interim = 0;; ++interim) {
        // A server that answers "100 Continue" without end holds the user
        // for nothing.
        if (interim > MaxInterimAnswers)
            throw QuoraneError(QStringLiteral("The server sent no answer after %1 interim answers.")
                                   .arg(MaxInterimAnswers));
        answer = Answer();
        QByteArray line;
        if (!connection_.ReadLine(line, deadline))
            return false;
        if (!line.startsWith("HTTP/"))
            NotHttp();
        answer.statusLine = line;
        answer.http11 = !line.startsWith("HTTP/1.0") && !line.startsWith("HTTP/0.");
        const qsizetype blank = line.indexOf(' ');
        if (blank > 0) {
            qsizetype end = blank + 1;
            while (end < line.size() && line.at(end) >= '0' && line.at(end) <= '9')
                ++end;
            bool ok = false;
            const int code = line.mid(blank + 1, end - blank - 1).toInt(&ok);
            answer.code = ok ? code : -1;
        }
        qsizetype headerBytes = 0;
        bool ended = false;
        while (connection_.ReadLine(line, deadline)) {
            if (line.isEmpty()) {
                ended = true;
                break;
            }
            headerBytes += line.size();
            if (headerBytes > NetLimits::MaxHeaderBytes)
                NotHttp();
            if ((line.startsWith(' ') || line.startsWith('\t')) && !answer.headers.isEmpty()) {
                answer.headers.last().second += ' ' + line.trimmed();
                continue;
            }
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            answer.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
        // The server went away before the head of its answer was complete.
        if (!ended)
            return false;
        for (const auto &h : answer.headers) {
            if (h.first.compare("Set-Cookie", Qt::CaseInsensitive) == 0 ||
                h.first.compare("Set-Cookie2", Qt::CaseInsensitive) == 0)
                cookies_->Store(h.second, url);
        }
        if (answer.code != 100)
            return true;
    }
}

void TIdHTTP::ReadBody(Answer &answer, bool shortBodyIsBody, qint64 maxBodyBytes,
                       TcpConnection::Deadline deadline) {
    if (!connection_.IsOpen())
        return;
    const QByteArray incomplete = "Connection closed before the whole answer had arrived.";
    if (answer.Header("Transfer-Encoding").toLower().contains("chunked")) {
        QByteArray line;
        for (;;) {
            if (!connection_.ReadLine(line, deadline))
                throw QuoraneError(QString::fromLatin1(incomplete));
            const qsizetype semicolon = line.indexOf(';');
            bool ok = false;
            // Unsigned, and compared with what is left of the limit, so no
            // size however large can wrap the sum past the check.
            const qulonglong size =
                (semicolon < 0 ? line : line.left(semicolon)).trimmed().toULongLong(&ok, 16);
            if (!ok)
                NotHttp();
            if (size > qulonglong(maxBodyBytes - answer.body.size()))
                throw QuoraneError(TcpConnection::TooLargeText(maxBodyBytes));
            if (size == 0)
                break;
            const qsizetype before = answer.body.size();
            connection_.Read(answer.body, qint64(size), maxBodyBytes, deadline);
            if (qulonglong(answer.body.size() - before) < size ||
                !connection_.ReadLine(line, deadline))
                throw QuoraneError(QString::fromLatin1(incomplete));
        }
        // Trailer lines up to the empty one.
        while (connection_.ReadLine(line, deadline) && !line.isEmpty()) {
        }
        return;
    }
    const QByteArray length = answer.Header("Content-Length");
    if (!length.isNull()) {
        bool ok = false;
        const qlonglong n = length.trimmed().toLongLong(&ok);
        if (!ok || n < 0)
            NotHttp();
        if (n > maxBodyBytes)
            throw QuoraneError(TcpConnection::TooLargeText(maxBodyBytes));
        // Room for the whole body at once: no copy while it grows.
        answer.body.reserve(qsizetype(n));
        connection_.Read(answer.body, n, maxBodyBytes, deadline);
        // A cut-off answer must not pass for the whole one: a station list
        // missing its end would replace the user's list. A submission's
        // answer is only a receipt: that the server answered is what counts.
        if (answer.body.size() < n) {
            connection_.Close();
            if (!shortBodyIsBody)
                throw QuoraneError(QString::fromLatin1(incomplete));
        }
        return;
    }
    connection_.ReadToEnd(answer.body, maxBodyBytes, deadline);
    connection_.Close();
}
