#include "stations/StationList.h"

#include "platform/QuoraneError.h"
#include "stations/StationFile.h"

void StationList::OutOfBounds(int i) {
    throw QuoraneError(QStringLiteral("List index out of bounds (%1)").arg(i));
}

QString StationList::Line(int i) const {
    if (i < 0 || i >= Count())
        OutOfBounds(i);
    return lines_.At(i);
}

void StationList::Insert(int i, const QString &line) {
    if (i < 0 || i > Count())
        OutOfBounds(i);
    lines_.Insert(i, line);
    ++revision_;
}

void StationList::Delete(int i) {
    if (i < 0 || i >= Count())
        OutOfBounds(i);
    lines_.RemoveAt(i);
    ++revision_;
}

void StationList::Clear() {
    lines_.Clear();
    ++revision_;
}

void StationList::Assign(StationLines lines) {
    lines_ = std::move(lines);
    ++revision_;
}

void StationList::Assign(const QStringList &lines) {
    Assign(StationLines::FromStringList(lines));
}

void StationList::LoadFromFile(const QString &path) {
    Assign(StationFile::Read(path));
}

void StationList::SaveToFile(const QString &path) const {
    StationFile::Write(path, lines_);
}
