#include "stations/StationList.h"

#include "platform/QuoraneError.h"
#include "stations/StationFile.h"

void StationList::OutOfBounds(int i) {
    throw QuoraneError(QStringLiteral("List index out of bounds (%1)").arg(i));
}

const QString &StationList::Line(int i) const {
    if (i < 0 || i >= Count())
        OutOfBounds(i);
    return lines_.at(i);
}

void StationList::Insert(int i, const QString &line) {
    if (i < 0 || i > Count())
        OutOfBounds(i);
    lines_.insert(i, line);
    ++revision_;
}

void StationList::Delete(int i) {
    if (i < 0 || i >= Count())
        OutOfBounds(i);
    lines_.removeAt(i);
    ++revision_;
}

void StationList::Clear() {
    lines_.clear();
    ++revision_;
}

void StationList::Assign(QStringList lines) {
    lines_ = std::move(lines);
    ++revision_;
}

void StationList::LoadFromFile(const QString &path) {
    Assign(StationFile::Read(path));
}

void StationList::SaveToFile(const QString &path) const {
    StationFile::Write(path, lines_);
}
