#include "platform/ErrorText.h"

QString ErrorBoxText(const QString &message) {
    if (!message.isEmpty() && message.back().unicode() <= u'.')
        return message;
    return message + QLatin1Char('.');
}
