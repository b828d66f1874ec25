#pragma once
// TIdHTTP: Quorane's client for its list server, over plain HTTP. Get and Post
// block the calling thread until the answer is in or a bounded wait ran out
// (NetLimits), and raise QuoraneError with the user's message on every
// failure: a socket or name-lookup error ("Socket Error # <number>", CR LF,
// the reason), a server that closed before answering ("Connection Closed
// Gracefully."), an error status, a redirect or an authentication demand (the
// status line as received), a broken or endless answer, an answer larger than
// the bound of its kind, a Get cut off before its end. It keeps one
// connection, reused for the next request to the same host and port while the
// server allows it, and the cookies of the answers in memory for the run; an
// answer's body goes to the caller and nothing of it stays behind. It follows
// no redirect, offers no compression and uses no proxy.
// Owned by the add-station dialog; UI thread only.
#include "online/TcpConnection.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <memory>

class CookieJar;
class QUrl;

class TIdHTTP {
public:
    TIdHTTP();
    ~TIdHTTP();
    TIdHTTP(const TIdHTTP &) = delete;
    TIdHTTP &operator=(const TIdHTTP &) = delete;

    // The answer's body as text: UTF-8 when the Content-Type names that
    // charset, else one character per byte. A body larger than maxBodyBytes
    // (NetLimits: one bound per kind of answer) fails the request.
    QString Get(const QString &url, qint64 maxBodyBytes);
    // The same answer's bytes as they came, for a caller that stores them.
    QByteArray GetBytes(const QString &url, qint64 maxBodyBytes);
    // Sends `fields` ("name=value" each) as a form, always on a new
    // connection and as HTTP/1.0, and returns the answer's body as text. An
    // answer cut short of its Content-Length is taken as it came: the server
    // has answered, so the submission did arrive.
    QString Post(const QString &url, const QStringList &fields);
    // Closes the connection if one is open.
    void Disconnect();
    bool Connected() const { return connection_.IsOpen(); }

    // The last answer's code and Content-Type (also of a failed one). Its
    // body is handed to the caller and not kept: a station list is large.
    int ResponseCode() const { return responseCode_; }
    const QByteArray &ResponseContentType() const { return contentType_; }

    // The limits in use, the defaults from NetLimits; tests shorten them.
    int ConnectTimeoutMs;
    int ReadTimeoutMs;
    int RequestTimeoutMs;

    // The most "100 Continue" answers skipped before the real one.
    static constexpr int MaxInterimAnswers = 10;

    // Fixed request settings, sent on every request.
    static const char Accept[];
    static const char AcceptEncoding[];
    static const char UserAgent[];

    // The charset of a Content-Type value: the text after the first
    // "charset" (any case), past blanks and one "=", up to the next ";" or,
    // when quoted, the closing quote.
    static QByteArray Charset(const QByteArray &contentType);
    // Body bytes as text by that charset.
    static QString DecodeBody(const QByteArray &body, const QByteArray &contentType);

private:
    struct Answer;
    QByteArray Request(const QByteArray &method, const QString &url, const QByteArray *form,
                       qint64 maxBodyBytes);
    bool ReadAnswer(Answer &answer, const QUrl &url, TcpConnection::Deadline deadline);
    // Reads the body by the answer's framing; a Content-Length body that
    // the server cut short fails unless `shortBodyIsBody`.
    void ReadBody(Answer &answer, bool shortBodyIsBody, qint64 maxBodyBytes,
                  TcpConnection::Deadline deadline);
    QByteArray CookieHeader(const QUrl &url) const;

    // The one connection, kept between requests while the server allows it.
    TcpConnection connection_;
    // The cookies the answers set, for this run only.
    std::unique_ptr<CookieJar> cookies_;
    // The last answer's code and Content-Type.
    int responseCode_ = 0;
    QByteArray contentType_;
};
