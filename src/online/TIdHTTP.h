#pragma once
// TIdHTTP: Quorane's client for its list server, over plain HTTP. Get and Post
// block the calling thread until the answer is in or a bounded wait ran out
// (NetLimits), and raise QuoraneError with the user's message on every
// failure: a socket error ("Socket Error # <number>", CR LF, the reason), a
// server that closed before answering ("Connection Closed Gracefully."), an
// error status, a redirect or an authentication demand (the status line as
// received), a broken or endless answer, a Get cut off before its end. It
// keeps one connection,
// reused for the next request to the same host and port while the server
// allows it, and the cookies of the answers in memory for the run. It follows
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
    // charset, else one character per byte.
    QString Get(const QString &url);
    // Sends `fields` ("name=value" each) as a form, always on a new
    // connection and as HTTP/1.0, and returns the answer's body as text. An
    // answer cut short of its Content-Length is taken as it came: the server
    // has answered, so the submission did arrive.
    QString Post(const QString &url, const QStringList &fields);
    // Closes the connection if one is open.
    void Disconnect();
    bool Connected() const { return connection_.IsOpen(); }

    // The last answer that arrived (also a failed one): its code, its raw
    // body and its Content-Type.
    int ResponseCode() const { return responseCode_; }
    const QByteArray &ResponseBody() const { return responseBody_; }
    const QByteArray &ResponseContentType() const { return contentType_; }

    // The limits in use, the defaults from NetLimits; tests shorten them.
    int ConnectTimeoutMs;
    int ReadTimeoutMs;
    int RequestTimeoutMs;
    // The largest body taken in; tests shorten it.
    qint64 MaxBodyBytes;

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
    QString Request(const QByteArray &method, const QString &url, const QByteArray *form);
    bool ReadAnswer(Answer &answer, const QUrl &url, TcpConnection::Deadline deadline);
    // Reads the body by the answer's framing; a Content-Length body that
    // the server cut short fails unless `shortBodyIsBody`.
    void ReadBody(Answer &answer, bool shortBodyIsBody, TcpConnection::Deadline deadline);
    QByteArray CookieHeader(const QUrl &url) const;

    // The one connection, kept between requests while the server allows it.
    TcpConnection connection_;
    // The cookies the answers set, for this run only.
    std::unique_ptr<CookieJar> cookies_;
    // The last answer that arrived.
    int responseCode_ = 0;
    QByteArray responseBody_;
    QByteArray contentType_;
};
