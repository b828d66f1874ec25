#include "recording/StreamFramer.h"

#include "recording/MpegFramer.h"
#include "recording/OggFramer.h"

#include <utility>

std::unique_ptr<StreamFramer> StreamFramer::Create(const QByteArray &contentType,
                                                   QByteArrayView firstBytes) {
    Q_UNUSED(contentType);
    if (firstBytes.startsWith("OggS"))
        return std::make_unique<OggFramer>();
    return std::make_unique<MpegFramer>();
}

QList<StreamUnit> StreamFramer::TakeUnits() {
    return std::exchange(units_, {});
}

QList<StreamFramer::Title> StreamFramer::TakeTitles() {
    return std::exchange(titles_, {});
}
