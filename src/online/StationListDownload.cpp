#include "online/StationListDownload.h"

#include "online/NetLimits.h"
#include "online/TIdHTTP.h"
#include "platform/CodePage.h"
#include "platform/QuoraneError.h"

#include <QByteArrayView>

namespace StationListDownload {

QByteArray Fetch(TIdHTTP &http, const QString &url) {
    QByteArray bytes = http.GetBytes(url, NetLimits::MaxStationListBytes);
    if (bytes.isEmpty())
        throw QuoraneError(QStringLiteral("The list server sent an empty station list."));
    const QByteArray charset = TIdHTTP::Charset(http.ResponseContentType()).trimmed().toUpper();
    if (charset != "UTF-8" && charset != "UTF8")
        return bytes;
    // Valid UTF-8 in a UTF-8 code page is already what the file holds: the
    // list is handed on as it came, without a second copy.
    if (CodePage::IsUtf8Page() && QByteArrayView(bytes).isValidUtf8())
        return bytes;
    // Otherwise as text into the code page; the bytes go first, so that at
    // most the text and the result are held at once.
    const QString text = QString::fromUtf8(bytes);
    bytes = QByteArray();
    return CodePage::ToAnsi(text);
}

} // namespace StationListDownload
