#pragma once
// The list-server client's cookies, kept in memory for the run. A server can
// send any number of Set-Cookie lines of any size, so the jar takes at most
// MaxCookies cookies of at most MaxCookieBytes each: a cookie it already holds
// may still be replaced or removed, a further one is dropped. Owned by
// TIdHTTP; UI thread only.
#include <QNetworkCookie>
#include <QNetworkCookieJar>

class CookieJar : public QNetworkCookieJar {
public:
    static constexpr int MaxCookies = 50;
    static constexpr int MaxCookieBytes = 4096;

    // Stores the cookies of one Set-Cookie header, within the limits.
    void Store(const QByteArray &setCookieValue, const QUrl &url);
    int Count() const { return int(allCookies().size()); }

protected:
    bool insertCookie(const QNetworkCookie &cookie) override;
};
