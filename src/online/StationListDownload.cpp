#include "online/StationListDownload.h"

#include "online/TIdHTTP.h"
#include "platform/CodePage.h"
#include "platform/QuoraneError.h"

namespace StationListDownload {

QByteArray Fetch(TIdHTTP &http, const QString &url) {
    const QString text = http.Get(url);
    if (text.isEmpty())
        throw QuoraneError(QStringLiteral("The list server sent an empty station list."));
    const QByteArray charset = TIdHTTP::Charset(http.ResponseContentType()).trimmed().toUpper();
    if (charset == "UTF-8" || charset == "UTF8")
        return CodePage::ToAnsi(text);
    return http.ResponseBody();
}

} // namespace StationListDownload
