#include "stations/StationLine.h"

QString ExtractField(QChar separator, const QString &line, int n) {
    if (n <= 0 || line.isEmpty())
        return QString();
    // Walk the line as if a separator closed it when it does not end in one;
    // once the fields are used up every further field is empty.
    const qsizetype length = line.size();
    const bool closed = line.back() == separator;
    qsizetype start = 0;
    for (int field = 1;; ++field) {
        qsizetype end = start <= length ? line.indexOf(separator, start) : -1;
        if (end < 0 && !closed && start <= length)
            end = length; // the separator that was "appended"
        if (end < 0)
            return QString();
        if (field == n)
            return line.mid(start, end - start);
        start = end + 1;
    }
}
