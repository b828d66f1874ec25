// Station files as they come from elsewhere: 8-bit files written on
// Windows, files that are read in several blocks, and paths that are not
// station files at all (a FIFO, a device, a folder, a file too large).
#include "platform/CodePage.h"
#include "platform/QuoraneError.h"
#include "stations/StationFile.h"
#include "stations/StationList.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype Block = 1 << 20; // the reader's block size

struct Utf8Page {
    Utf8Page() { EXPECT_TRUE(CodePage::SetForTesting("UTF-8")); }
    ~Utf8Page() { CodePage::SetForTesting(QByteArray()); }
};

class StationFileBounds : public ::testing::Test {
protected:
    QString Put(const QByteArray &bytes, const QString &name = "list.txt") {
        const QString path = dir.path() + "/" + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    static QByteArray Bytes(const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    // Load list of `path` into a list that holds one line: it must fail with
    // the message of an unopenable file and keep the line.
    void ExpectRefused(const QString &path) {
        StationList list;
        list.Assign({"kept"});
        QElapsedTimer clock;
        clock.start();
        try {
            list.LoadFromFile(path);
            ADD_FAILURE() << "read " << path.toStdString();
        } catch (const QuoraneError &e) {
            const QString start = "Cannot open file \"" + path + "\". ";
            EXPECT_TRUE(e.message().startsWith(start)) << e.message().toStdString();
            EXPECT_GT(e.message().size(), start.size() + 5) << "a reason follows";
        }
        EXPECT_LT(clock.elapsed(), 5000) << "refused at once, nothing read";
        EXPECT_EQ(list.Lines().ToStringList(), QStringList({"kept"}));
    }

    Utf8Page page;
    QTemporaryDir dir;
};

QStringList ReadList(const QString &path) {
    return StationFile::Read(path).ToStringList();
}

// Lines too long to print whole: their count, lengths and last characters.
std::string Brief(const QStringList &lines) {
    std::string out = std::to_string(lines.size()) + " lines:";
    for (const QString &l : lines)
        out += " [" + std::to_string(l.size()) + " ..." + l.right(3).toStdString() + "]";
    return out;
}

#define EXPECT_LINES(actual, expected)                                                             \
    do {                                                                                           \
        const QStringList a_ = (actual), e_ = (expected);                                          \
        EXPECT_TRUE(a_ == e_) << "read " << Brief(a_) << "\nwant " << Brief(e_);                   \
    } while (0)

} // namespace

TEST_F(StationFileBounds, AnEightBitFileKeepsItsTextAndIsWrittenBackInTheLocalesPage) {
    const QString path = Put("Caf\xE9\tRadio \x80\x81\x8D\x8F\x90\x9D\r\nZ\xFCrich\r\n");
    StationList list;
    list.LoadFromFile(path);
    const QStringList expected{QString::fromUtf8("Caf\u00e9\tRadio \u20ac") + QChar(0x81) +
                                   QChar(0x8D) + QChar(0x8F) + QChar(0x90) + QChar(0x9D),
                               QString::fromUtf8("Z\u00fcrich")};
    EXPECT_EQ(list.Lines().ToStringList(), expected);
    list.SaveToFile(path);
    EXPECT_EQ(Bytes(path), expected.join("\r\n").toUtf8() + "\r\n");
    list.LoadFromFile(path);
    EXPECT_EQ(list.Lines().ToStringList(), expected) << "the text survives a second run";

    // A line that is not UTF-8 as a whole is 8-bit, even where part of it
    // would read as UTF-8.
    EXPECT_EQ(ReadList(Put("Caf\xC3\xA9 \xE9")),
              QStringList({QString::fromUtf8("Caf\u00c3\u00a9 \u00e9")}));
}

// Lists are pasted together: UTF-8 lines and a line copied from a Windows
// list in one file. Each line is read by itself, so the UTF-8 lines come
// back byte for byte after a read and a write; a mark still decides for the
// whole file.
TEST_F(StationFileBounds, EachLineOfAMixedFileIsReadInItsOwnEncoding) {
    const QByteArray cafe = "Caf\xC3\xA9\tJazz\thttp://cafe.example/\t";
    const QByteArray radio = "\xD0\xA0\xD0\xB0\xD0\xB4\xD0\xB8\xD0\xBE \xF0\x9F\x98\x80\t\t";
    const QString path = Put(cafe + "\r\nZ\xFCrich \x80\tPop\r\n" + radio + "\r\n");
    StationList list;
    list.LoadFromFile(path);
    EXPECT_EQ(list.Lines().ToStringList(),
              QStringList({QString::fromUtf8(cafe), QString::fromUtf8("Z\u00fcrich \u20ac\tPop"),
                           QString::fromUtf8(radio)}));
    list.SaveToFile(path);
    EXPECT_EQ(Bytes(path), cafe + "\r\nZ\xC3\xBCrich \xE2\x82\xAC\tPop\r\n" + radio + "\r\n");

    // Each line by itself in the whole-text decoding too (the downloaded
    // list's check), with its line ends kept.
    EXPECT_EQ(StationFile::Decode("\xC3\xA9\r\xE9\n\xC3\xA9\r\n\xE9"),
              QString::fromUtf8("\u00e9\r\u00e9\n\u00e9\r\n\u00e9"));

    // With a UTF-8 mark the 8-bit line is not UTF-8: its byte is replaced.
    EXPECT_EQ(ReadList(Put("\xEF\xBB\xBF" + cafe + "\nZ\xFCrich")),
              QStringList({QString::fromUtf8(cafe), QString::fromUtf8("Z\uFFFDrich")}));
}

TEST_F(StationFileBounds, AUtf8FileIsWrittenBackByteForByte) {
    const QByteArray bytes = QString::fromUtf8("Caf\u00e9\t\u0420\u0430\u0434\u0438\u043e\r\n"
                                               "\U0001F600 FM\thttp://x/\t\r\n\r\nlast\r\n")
                                 .toUtf8();
    const QString path = Put(bytes);
    StationList list;
    list.LoadFromFile(path);
    ASSERT_EQ(list.Count(), 4);
    list.SaveToFile(path);
    EXPECT_EQ(Bytes(path), bytes);
}

TEST_F(StationFileBounds, CharactersAndLineEndsCutByABlockBoundaryReadWhole) {
    const QByteArray run(Block - 1, 'a');
    // A two-byte and a four-byte character, and CR LF, across the boundary.
    EXPECT_LINES(ReadList(Put(run + "\xC3\xA9x")),
                 QStringList({QString(run) + QString::fromUtf8("\u00e9x")}));
    EXPECT_LINES(ReadList(Put(run.left(Block - 2) + "\xF0\x9F\x98\x80")),
                 QStringList({QString(run.left(Block - 2)) + QString::fromUtf8("\U0001F600")}));
    // A CR at a block's end and the LF after it are one line end.
    EXPECT_LINES(ReadList(Put(run + "\r\nb")), QStringList({QString(run), "b"}));
    EXPECT_LINES(ReadList(Put(run + "\r\rb")), QStringList({QString(run), "", "b"}));

    // UTF-16: the blocks start after the mark; a surrogate pair across.
    QByteArray le("\xFF\xFE", 2);
    const qsizetype units = Block / 2 - 1;
    for (qsizetype i = 0; i < units; ++i)
        le.append("b\0", 2);
    le.append("\x3D\xD8\x00\xDE", 4); // U+1F600
    EXPECT_LINES(ReadList(Put(le)),
                 QStringList({QString(units, 'b') + QString::fromUtf8("\U0001F600")}));

    // A line of several blocks is decided as one: UTF-8 here, 8-bit there,
    // whichever block holds the byte that decides.
    EXPECT_LINES(
        ReadList(Put("\xC3\xA9\n" + QByteArray(2 * Block, 'c') + "\xE9\n" + run + "\xC3\xA9")),
        QStringList({QString::fromUtf8("\u00e9"),
                     QString(2 * Block, 'c') + QString::fromUtf8("\u00e9"),
                     QString(run) + QString::fromUtf8("\u00e9")}));
}

TEST_F(StationFileBounds, WhatIsNotARegularFileOrIsTooLargeIsRefusedAndTheListKept) {
    const QString fifo = dir.path() + "/fifo.txt";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ExpectRefused(fifo);
    ExpectRefused("/dev/zero");
    ExpectRefused(dir.path());

    // A sparse file just over the bound; at the bound it is read (its first
    // byte, a NUL, ends the text).
    const QString big = Put("");
    ASSERT_TRUE(QFile::resize(big, StationFile::MaxFileSize + 1));
    ExpectRefused(big);
    ASSERT_TRUE(QFile::resize(big, StationFile::MaxFileSize));
    EXPECT_TRUE(ReadList(big).isEmpty());
}
