// Station lines, the station list and station files: what the player reads
// from disk is what it shows, and what it writes reads back the same.
#include "stations/StationFile.h"
#include "platform/CodePage.h"
#include "platform/QuoraneError.h"
#include "stations/StationLine.h"
#include "stations/StationList.h"

#include "common/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QChar Tab('\t');

QString Field(const QString &line, int n) {
    return ExtractField(Tab, line, n);
}

QStringList ReadBytes(const QByteArray &bytes) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/list.txt";
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    return StationFile::Read(path).ToStringList();
}

QByteArray FileBytes(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Switches the 8-bit page for one test and back.
struct PageScope {
    explicit PageScope(const char *page) { EXPECT_TRUE(CodePage::SetForTesting(page)); }
    ~PageScope() { CodePage::SetForTesting(QByteArray()); }
};

} // namespace

TEST(ExtractField, TakesFieldsAsTheStationFileDefinesThem) {
    EXPECT_EQ(Field("A\tB\tC", 1), "A");
    EXPECT_EQ(Field("A\tB\tC", 2), "B");
    EXPECT_EQ(Field("A\tB\tC", 3), "C");
    EXPECT_EQ(Field("A\tB\tC", 4), "");
    EXPECT_EQ(Field("A\t\tC", 2), "");
    EXPECT_EQ(Field("A\t\tC", 3), "C");
    EXPECT_EQ(Field("A", 1), "A");
    EXPECT_EQ(Field("A", 2), "");
    EXPECT_EQ(Field("A\tB\t", 2), "B");
    EXPECT_EQ(Field("A\tB\t", 3), "");
    for (int n = -1; n <= 8; ++n)
        EXPECT_EQ(Field("", n), "") << n;
    EXPECT_EQ(Field("A\tB", 0), "");
    EXPECT_EQ(Field("A\tB", -3), "");
}

TEST(ExtractField, ReadsAllSevenFieldsAndIgnoresTextAfterTheSeventh) {
    const QString line = "Name\tDesc\tGenre\tCountry\tLang\thttp://x/\thttp://home/\textra\tmore";
    const QStringList expected{"Name", "Desc",      "Genre",       "Country",
                               "Lang", "http://x/", "http://home/"};
    for (int n = 1; n <= 7; ++n)
        EXPECT_EQ(Field(line, n), expected[n - 1]);
    // A line that is only separators gives empty fields, never a separator.
    EXPECT_EQ(Field("\t\t\t", 1), "");
    EXPECT_EQ(Field("\t\t\t", 3), "");
    EXPECT_EQ(Field("\t\t\t", 9), "");
    // A separator other than the tab is honoured exactly.
    EXPECT_EQ(ExtractField(QChar(';'), "a;b;c", 2), "b");
}

TEST(StationListTest, PositionsOutsideTheListFailAndChangeNothing) {
    StationList list;
    list.Assign({"one", "two"});
    try {
        list.Line(2);
        FAIL() << "no error for position 2";
    } catch (const QuoraneError &e) {
        EXPECT_EQ(e.message(), "List index out of bounds (2)");
    }
    try {
        list.Delete(-1);
        FAIL() << "no error for position -1";
    } catch (const QuoraneError &e) {
        EXPECT_EQ(e.message(), "List index out of bounds (-1)");
    }
    EXPECT_THROW(list.Insert(3, "x"), QuoraneError);
    EXPECT_EQ(list.Lines().ToStringList(), QStringList({"one", "two"}));

    const quint64 before = list.Revision();
    list.Insert(2, "three"); // at the end is allowed
    list.Insert(0, "zero");
    list.Delete(1);
    EXPECT_EQ(list.Lines().ToStringList(), QStringList({"zero", "two", "three"}));
    EXPECT_GT(list.Revision(), before);
}

TEST(StationFileRead, ChoosesTheEncodingByItsMark) {
    const QString text = QString::fromUtf8("Caf\u00e9 \u0420\u0430\u0434\u0438\u043e\tx");
    QByteArray le("\xFF\xFE", 2), be("\xFE\xFF", 2);
    for (QChar c : text + "\r\nb") {
        le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    }
    EXPECT_EQ(ReadBytes(le), QStringList({text, "b"}));
    EXPECT_EQ(ReadBytes(be), QStringList({text, "b"}));
    EXPECT_EQ(ReadBytes("\xEF\xBB\xBF" + text.toUtf8()), QStringList({text}));
    {
        PageScope page("windows-1252");
        EXPECT_EQ(ReadBytes("Caf\xE9"), QStringList({QString::fromUtf8("Caf\u00e9")}));
    }
    // A mark alone, and nothing at all, give no lines.
    EXPECT_TRUE(ReadBytes("\xEF\xBB\xBF").isEmpty());
    EXPECT_TRUE(ReadBytes(QByteArray("\xFF\xFE", 2)).isEmpty());
    EXPECT_TRUE(ReadBytes("").isEmpty());
}

TEST(StationFileRead, SplitsEveryKindOfLineEnd) {
    EXPECT_EQ(ReadBytes("a\r\nb\r\n"), QStringList({"a", "b"}));
    EXPECT_EQ(ReadBytes("a\r\nb"), QStringList({"a", "b"}));
    EXPECT_EQ(ReadBytes("a\n\rb"), QStringList({"a", "", "b"}));
    EXPECT_EQ(ReadBytes("a\rb\nc\r\n\r\nd"), QStringList({"a", "b", "c", "", "d"}));
    EXPECT_EQ(ReadBytes("\n"), QStringList({""}));
    EXPECT_EQ(ReadBytes("one line without tabs"), QStringList({"one line without tabs"}));
    // The text ends at its first NUL, in any encoding.
    EXPECT_EQ(ReadBytes(QByteArray("a\r\nb\0c\r\nd", 10)), QStringList({"a", "b"}));
    EXPECT_EQ(ReadBytes(QByteArray("\xFF\xFE"
                                   "a\0\0\0b\0",
                                   8)),
              QStringList({"a"}));
}

TEST(StationFileRead, AFileThatCannotBeOpenedNamesItAndLeavesTheListAlone) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/missing.txt";
    StationList list;
    list.Assign({"kept"});
    try {
        list.LoadFromFile(path);
        FAIL() << "no error";
    } catch (const QuoraneError &e) {
        EXPECT_TRUE(e.message().startsWith("Cannot open file \"" + path + "\". "))
            << e.message().toStdString();
        EXPECT_GT(e.message().size(), QString("Cannot open file \"%1\". ").arg(path).size());
    }
    EXPECT_EQ(list.Lines().ToStringList(), QStringList({"kept"}));
    // A folder is not a station file either.
    EXPECT_THROW(list.LoadFromFile(dir.path()), QuoraneError);
    EXPECT_EQ(list.Lines().ToStringList(), QStringList({"kept"}));
}

TEST(StationFileWrite, WritesCrLfAfterEveryLineWithoutAMarkAndReadsBack) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/out.txt";
    StationList list;
    list.Assign({"A\tB\t", "", QString::fromUtf8("R\u00e1dio\tx")});
    list.SaveToFile(path);
    EXPECT_EQ(FileBytes(path),
              QByteArray("A\tB\t\r\n\r\n") + QString::fromUtf8("R\u00e1dio\tx").toUtf8() + "\r\n");
    StationList back;
    back.LoadFromFile(path);
    EXPECT_EQ(back.Lines().ToStringList(), list.Lines().ToStringList());

    // An empty list is an empty file; a UTF-8 file with a mark is written without it.
    list.Assign(QStringList());
    list.SaveToFile(path);
    EXPECT_EQ(FileBytes(path), QByteArray());
    EXPECT_EQ(QFileInfo(path).size(), 0);
}

TEST(StationFileWrite, SubstitutesWhatTheEightBitPageCannotHold) {
    PageScope page("windows-1252");
    QTemporaryDir dir;
    const QString path = dir.path() + "/out.txt";
    StationFile::Write(path, StationLines::FromStringList({QString::fromUtf8(
                                 "Caf\u00e9 \u0420\u0430\u0434\u0438\u043e \u20ac")}));
    EXPECT_EQ(FileBytes(path), QByteArray("Caf\xE9 ????? \x80\r\n"));
    EXPECT_EQ(StationFile::Read(path).ToStringList(),
              QStringList({QString::fromUtf8("Caf\u00e9 ????? \u20ac")}));
}

TEST(StationFileWrite, AFailedWriteKeepsTheOldFileByteForByte) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/keep.txt";
    StationFile::Write(path, StationLines::FromStringList({"old line"}));
    const QByteArray before = FileBytes(path);
    // A disk that fills up half-way through: files may not grow past 1 KiB.
    QStringList big;
    for (int i = 0; i < 500; ++i)
        big.append(QString("station %1\tdescription\tgenre").arg(i));
    {
        FileSizeLimit limit(1024);
        try {
            StationFile::Write(path, StationLines::FromStringList(big));
            ADD_FAILURE() << "no error";
        } catch (const QuoraneError &e) {
            EXPECT_TRUE(e.message().startsWith("Cannot create file \"" + path + "\". "))
                << e.message().toStdString();
        }
    }
    EXPECT_EQ(FileBytes(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"keep.txt"}));
    // A missing folder is reported the same way.
    EXPECT_THROW(
        StationFile::Write(dir.path() + "/no/such/folder.txt", StationLines::FromStringList({"x"})),
        QuoraneError);
}
