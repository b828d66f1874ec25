#pragma once
// NotificationImage: a picture as the desktop's notification service takes
// it in the "image-data" hint, raw pixels with their layout (the D-Bus
// structure (iiibiiay)). Sent with every notification, so that the
// service shows Quorane's icon even for a copy that was never installed.
// A plain value.
#include <QByteArray>
#include <QDBusArgument>
#include <QMetaType>

struct NotificationImage {
    int width = 0;
    int height = 0;
    int rowStride = 0;
    bool hasAlpha = false;
    int bitsPerSample = 8;
    int channels = 4;
    QByteArray data; // rows of RGB(A) bytes, rowStride apart

    bool IsNull() const { return data.isEmpty(); }
};
Q_DECLARE_METATYPE(NotificationImage)

QDBusArgument &operator<<(QDBusArgument &out, const NotificationImage &image);
const QDBusArgument &operator>>(const QDBusArgument &in, NotificationImage &image);
