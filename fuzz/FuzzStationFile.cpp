// The station-file reader on any bytes: the mark and code page decoding, the
// split into lines and every field of every line, as loading a list does.
// No line holds a line end, and the fields are those of a plain split.
#include "stations/StationFile.h"
#include "stations/StationLine.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = StationFile::Decode(bytes);
    const QStringList lines = StationFile::SplitLines(text);
    for (const QString &line : lines)
        if (line.contains(QChar('\r')) || line.contains(QChar('\n')))
            std::abort();
    for (const QString &line : lines) {
        // Field n is the text between the (n-1)th and the nth tab, and empty
        // past the last one: the same as a plain split of the line.
        const QStringList parts = line.split(QChar('\t'));
        for (int n = -1; n <= StationField::AdditionalUrl + 2; ++n) {
            const QString field = ExtractField(QChar('\t'), line, n);
            if (field != (n <= 0 ? QString() : parts.value(n - 1)))
                std::abort();
        }
    }
    return 0;
}
