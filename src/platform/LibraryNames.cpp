#include "platform/LibraryNames.h"

namespace LibraryNames {

QString ToPlatform(const QString &windowsName) {
    static const QString dll = QStringLiteral(".dll");
    if (windowsName.size() <= dll.size() || !windowsName.endsWith(dll, Qt::CaseInsensitive))
        return windowsName;
    return QStringLiteral("lib") + windowsName.chopped(dll.size()) + QStringLiteral(".so");
}

QString EngineFileName() {
    return ToPlatform(QString::fromLatin1(EngineWindowsName));
}

} // namespace LibraryNames
