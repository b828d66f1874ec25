#include "directory/DirectoryServerSetting.h"

#include <QUrl>

QString DirectoryServerSetting::Parse(const QString &value, QString *problem) {
    problem->clear();
    const QString text = value.trimmed();
    if (text.isEmpty())
        return QString();
    const QUrl url(text, QUrl::StrictMode);
    const bool usable =
        url.isValid() &&
        (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http")) &&
        !url.host().isEmpty() && url.userInfo().isEmpty() && !url.hasQuery() && !url.hasFragment();
    if (!usable) {
        *problem = QStringLiteral("The station directory server \"%1\" named by %2 in the "
                                  "settings file is not an address such as "
                                  "https://de1.api.radio-browser.info. Quorane looks the "
                                  "directory's servers up instead")
                       .arg(text, QLatin1String(Key));
        return QString();
    }
    QString base = url.toString(QUrl::FullyEncoded);
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}
