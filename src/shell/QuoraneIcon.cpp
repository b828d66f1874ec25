#include "shell/QuoraneIcon.h"

QIcon QuoraneIcon::Icon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 128})
        icon.addFile(QStringLiteral(":/icons/quorane-%1.png").arg(size), QSize(size, size));
    return icon;
}
