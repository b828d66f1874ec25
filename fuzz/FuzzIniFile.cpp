// The INI reader on any file contents: the values and integers the program
// reads at start-up, a write into the broken file, and the integer rule on
// each line of the input.
//
// Each input is written once to a file in memory (/dev/shm when there is
// one) and loaded once: a batch holds the file's lines, so the reads and the
// write that follow run the program's own line rules on them without going
// back to the file, and the batch is dropped uncommitted.
#include "platform/IniFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {
const QTemporaryDir &Folder() {
    static const QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                       ? QStringLiteral("/dev/shm/quorane-fuzz-ini-XXXXXX")
                                       : QDir::tempPath() +
                                             QStringLiteral("/quorane-fuzz-ini-XXXXXX"));
    return dir;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString path = Folder().filePath(QStringLiteral("fuzz.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    IniFile ini(path);
    ini.BeginBatch();
    static const char *const sections[] = {"Settings", "Proxy", "TForm1", "settings", ""};
    static const char *const keys[] = {"Volume", "Skin", "Top", "Left", "Fav1", "Proxy", ""};
    for (const char *s : sections) {
        for (const char *k : keys) {
            const QString value = ini.ReadString(s, k, QStringLiteral("none"));
            if (value.size() > IniFile::MaxValueLength)
                std::abort();
            ini.ReadInteger(s, k, -1);
        }
    }
    for (const QByteArray &line :
         QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size))
             .split('\n')) {
        bool ok = false;
        IniFile::ParseInteger(QString::fromLatin1(line), &ok);
    }
    // A write must keep working on whatever the file held before, and read
    // back as written.
    ini.WriteString(QStringLiteral("Settings"), QStringLiteral("Volume"), QStringLiteral("42"));
    if (ini.ReadInteger(QStringLiteral("Settings"), QStringLiteral("Volume"), -1) != 42)
        std::abort();
    return 0;
}
