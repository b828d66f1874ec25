#include "directory/JsonFields.h"

#include <QJsonObject>
#include <QJsonValue>
#include <cmath>
#include <limits>

namespace {

int Clamped(double v) {
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    if (!std::isfinite(v))
        return 0;
    return v <= lo ? int(lo) : v >= hi ? int(hi) : int(v);
}

} // namespace

QString JsonFields::Text(const QJsonObject &object, const char *key) {
    const QJsonValue v = object.value(QLatin1String(key));
    QString text;
    if (v.isString())
        text = v.toString();
    else if (v.isDouble())
        text = QString::number(v.toDouble(), 'g', 17);
    else
        return QString();
    for (QChar &c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    }
    return text.trimmed();
}

int JsonFields::Number(const QJsonObject &object, const char *key) {
    const QJsonValue v = object.value(QLatin1String(key));
    if (v.isDouble())
        return Clamped(v.toDouble());
    if (v.isBool())
        return v.toBool() ? 1 : 0;
    if (v.isString()) {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        return ok ? Clamped(d) : 0;
    }
    return 0;
}
