// Station files and settings files come from anywhere: whatever their bytes,
// reading them never crashes, never reads out of bounds (the sanitizer runs
// watch that), and keeps the invariants the rest of Quorane relies on.
#include "platform/IniFile.h"
#include "stations/StationFile.h"
#include "stations/StationLine.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace {

// Bytes biased towards the ones the parsers care about.
QByteArray RandomBytes(std::mt19937 &rng, int maxLength) {
    static const char interesting[] = {'\t',   '\r',   '\n',   '\0',   '[',    ']',    '=',
                                       '"',    '\'',   '$',    'x',    '0',    '-',    ' ',
                                       '\xFF', '\xFE', '\xEF', '\xBB', '\xBF', '\xC3', '\xA9'};
    std::uniform_int_distribution<int> len(0, maxLength), pick(0, 3), any(0, 255),
        which(0, sizeof interesting - 1);
    QByteArray out;
    const int n = len(rng);
    for (int i = 0; i < n; ++i)
        out.append(pick(rng) == 0 ? char(any(rng)) : interesting[which(rng)]);
    return out;
}

} // namespace

TEST(RandomInput, StationFilesSplitIntoLinesWithoutLineEndsOrNuls) {
    std::mt19937 rng(20261209);
    for (int round = 0; round < 3000; ++round) {
        const QByteArray bytes = RandomBytes(rng, 200);
        const QStringList lines = StationFile::SplitLines(StationFile::Decode(bytes));
        for (const QString &line : lines) {
            ASSERT_FALSE(line.contains('\r') || line.contains('\n') || line.contains(QChar(0)))
                << bytes.toHex().constData();
            for (int n = -1; n <= 9; ++n) {
                const QString field = ExtractField('\t', line, n);
                ASSERT_FALSE(field.contains('\t'));
                ASSERT_LE(field.size(), line.size());
            }
        }
    }
}

TEST(RandomInput, IniFilesReadAsTextOrDefaultsAndSurviveAWrite) {
    std::mt19937 rng(7);
    QTemporaryDir dir;
    const QString path = dir.path() + "/random.ini";
    for (int round = 0; round < 400; ++round) {
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("[Main]\n" + RandomBytes(rng, 300));
        }
        IniFile ini(path);
        const QString text = ini.ReadString("Main", "Volume", "d");
        ASSERT_LE(text.size(), IniFile::MaxValueLength);
        ini.ReadInteger("Main", "Volume", 50);
        // Writing a key and reading it back works whatever else the file holds.
        ini.WriteString("Favorites", "Fav1", "http://x/");
        ASSERT_EQ(ini.ReadString("Favorites", "Fav1", ""), "http://x/");
    }
}
