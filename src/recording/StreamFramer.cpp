#include "recording/StreamFramer.h"

#include "recording/LatmFramer.h"
#include "recording/Mp4Framer.h"
#include "recording/MpegFramer.h"
#include "recording/OggFramer.h"

#include <utility>

std::unique_ptr<StreamFramer> StreamFramer::Create(const QByteArray &contentType,
                                                   QByteArrayView firstBytes) {
    // The bytes win over the label, as in the engine's choice of demuxer.
    const auto byte = [&](qsizetype i) {
        return i < firstBytes.size() ? uint8_t(firstBytes[i]) : 0;
    };
    if (firstBytes.startsWith("OggS"))
        return std::make_unique<OggFramer>();
    if (byte(0) == 0x56 && (byte(1) & 0xE0) == 0xE0)
        return std::make_unique<LatmFramer>();
    const QByteArray type = contentType.left(contentType.indexOf(';')).trimmed().toLower();
    if (firstBytes.sliced(qMin<qsizetype>(4, firstBytes.size())).startsWith("ftyp") ||
        type == "audio/mp4" || type == "audio/x-m4a" || type == "audio/m4a")
        return std::make_unique<Mp4Framer>();
    return std::make_unique<MpegFramer>();
}

QList<StreamUnit> StreamFramer::TakeUnits() {
    return std::exchange(units_, {});
}

QList<StreamFramer::Title> StreamFramer::TakeTitles() {
    return std::exchange(titles_, {});
}
