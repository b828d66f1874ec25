// The station-file reader on any bytes: the mark and code page decoding, the
// split into lines and every field of every line, as loading a list does.
#include "stations/StationFile.h"
#include "stations/StationLine.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = StationFile::Decode(bytes);
    const QStringList lines = StationFile::SplitLines(text);
    for (const QString &line : lines) {
        qsizetype total = 0;
        for (int n = 0; n <= StationField::AdditionalUrl + 1; ++n) {
            const QString field = ExtractField(QChar('\t'), line, n);
            if (n <= 0 && !field.isEmpty())
                std::abort(); // field 0 and below are always empty
            total += field.size();
        }
        // The fields are pieces of the line, never more than it holds.
        if (total > line.size())
            std::abort();
    }
    return 0;
}
