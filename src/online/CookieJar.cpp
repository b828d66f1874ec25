#include "online/CookieJar.h"

#include <QNetworkCookie>

void CookieJar::Store(const QByteArray &setCookieValue, const QUrl &url) {
    // Measured before parsing: a header far over the limit is not worth it.
    if (setCookieValue.size() > MaxCookieBytes)
        return;
    setCookiesFromUrl(QNetworkCookie::parseCookies(setCookieValue), url);
}

bool CookieJar::insertCookie(const QNetworkCookie &cookie) {
    if (cookie.toRawForm(QNetworkCookie::Full).size() > MaxCookieBytes)
        return false;
    if (allCookies().size() >= MaxCookies) {
        bool known = false;
        for (const QNetworkCookie &c : allCookies())
            known = known || c.hasSameIdentifier(cookie);
        if (!known)
            return false;
    }
    return QNetworkCookieJar::insertCookie(cookie);
}
