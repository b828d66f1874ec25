#include "stations/StationSearch.h"

#include "stations/StationList.h"

#include <QStringMatcher>

int StationSearch::FindFirst(const StationList &stations, const QString &text, int rows) {
    if (text.isEmpty())
        return -1;
    const QStringList &lines = stations.Lines();
    const int last = qMin(rows, int(lines.size()));
    // One matcher for the whole scan: its skip table is built once, and each
    // line is searched in place, so a million lines cost no allocation.
    const QStringMatcher matcher(text, Qt::CaseSensitive);
    for (int i = 0; i < last; ++i) {
        if (matcher.indexIn(QStringView(lines.at(i))) >= 0)
            return i;
    }
    return -1;
}
