#include "history/NotificationImage.h"

QDBusArgument &operator<<(QDBusArgument &out, const NotificationImage &image) {
    out.beginStructure();
    out << image.width << image.height << image.rowStride << image.hasAlpha << image.bitsPerSample
        << image.channels << image.data;
    out.endStructure();
    return out;
}

const QDBusArgument &operator>>(const QDBusArgument &in, NotificationImage &image) {
    in.beginStructure();
    in >> image.width >> image.height >> image.rowStride >> image.hasAlpha >> image.bitsPerSample >>
        image.channels >> image.data;
    in.endStructure();
    return in;
}
