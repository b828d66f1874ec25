// The INI rules Quorane's settings and geometry files depend on, and what keeps
// such a file whole: a file that could not be read is never written over, and a
// batch of keys reaches the disk in one piece.
#include "platform/IniFile.h"
#include "common/FileSizeLimit.h"
#include "platform/CodePage.h"
#include "platform/QuoraneError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace {

struct IniFixture : ::testing::Test {
    QTemporaryDir dir;
    QString path() const { return dir.path() + "/test.ini"; }
    void Write(const QByteArray &bytes) {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray Read() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

TEST_F(IniFixture, IntegersFollowTheDecimalAndHexRules) {
    Write("[Main]\nhex=0x20\ndollar=$20\nneg=-5\nbig=150\nabc=abc\nempty=\n"
          "over=2147483648\nmin=-2147483648\nmax=2147483647\nspaced=  42  \nmixed=12ab\n"
          "upperhex=0XfF\nplus=+7\nfrac=1.5\n");
    const IniFile ini(path());
    EXPECT_EQ(ini.ReadInteger("Main", "hex", 1), 32);
    EXPECT_EQ(ini.ReadInteger("Main", "dollar", 1), 32);
    EXPECT_EQ(ini.ReadInteger("Main", "neg", 1), -5);
    EXPECT_EQ(ini.ReadInteger("Main", "big", 1), 150);
    EXPECT_EQ(ini.ReadInteger("Main", "abc", 50), 50);
    EXPECT_EQ(ini.ReadInteger("Main", "empty", 50), 50);
    EXPECT_EQ(ini.ReadInteger("Main", "over", 50), 50);
    EXPECT_EQ(ini.ReadInteger("Main", "min", 50), -2147483647 - 1);
    EXPECT_EQ(ini.ReadInteger("Main", "max", 50), 2147483647);
    EXPECT_EQ(ini.ReadInteger("Main", "spaced", 50), 42);
    EXPECT_EQ(ini.ReadInteger("Main", "mixed", 50), 50);
    EXPECT_EQ(ini.ReadInteger("Main", "upperhex", 50), 255);
    EXPECT_EQ(ini.ReadInteger("Main", "plus", 50), 7);
    EXPECT_EQ(ini.ReadInteger("Main", "frac", 50), 50);
    EXPECT_EQ(ini.ReadInteger("Main", "absent", 9), 9);
    EXPECT_EQ(ini.ReadInteger("Nowhere", "hex", 9), 9);
}

TEST_F(IniFixture, TextsAreTrimmedUnquotedCaseInsensitiveAndCapped) {
    const QByteArray longValue(3000, 'x');
    Write("[main]\r\nNAME = a = b \r\nq1=\"quoted text\"\r\nq2='single'\r\nq3=\"half\r\n"
          "q4=\"mixed'\r\nlong=" +
          longValue + "\r\n[Other]\r\nname=other\r\n");
    const IniFile ini(path());
    EXPECT_EQ(ini.ReadString("MAIN", "name", "d"), "a = b");
    EXPECT_EQ(ini.ReadString("Main", "Q1", "d"), "quoted text");
    EXPECT_EQ(ini.ReadString("Main", "q2", "d"), "single");
    EXPECT_EQ(ini.ReadString("Main", "q3", "d"), "\"half");
    EXPECT_EQ(ini.ReadString("Main", "q4", "d"), "\"mixed'");
    EXPECT_EQ(ini.ReadString("Main", "long", "d").size(), 2047);
    EXPECT_EQ(ini.ReadString("other", "NAME", "d"), "other");
    EXPECT_EQ(ini.ReadString("Main", "missing", "d"), "d");
    EXPECT_EQ(IniFile(dir.path() + "/none.ini").ReadString("Main", "name", "d"), "d");
}

TEST_F(IniFixture, WritesInPlaceAtTheSectionEndOrInANewSection) {
    Write("; settings\n[Main]\nVolume=10\nSkinName=x\n\n[Favorites]\nFav1=a\n[Tail]\nk=v\n");
    IniFile ini(path());
    ini.WriteInteger("main", "volume", 80);    // in place, the stored name kept
    ini.WriteString("Favorites", "Fav2", "b"); // at the end of its section
    ini.WriteString("Main", "Proxy", "");      // empty value: "Proxy="
    ini.WriteString("New", "Key", "value");    // a new section at the end
    EXPECT_EQ(Read(), "; settings\n[Main]\nvolume=80\nSkinName=x\nProxy=\n\n[Favorites]\nFav1=a\n"
                      "Fav2=b\n[Tail]\nk=v\n[New]\nKey=value\n");
    EXPECT_EQ(ini.ReadInteger("MAIN", "VOLUME", 0), 80);
    EXPECT_EQ(ini.ReadString("Main", "Proxy", "d"), "");
}

TEST_F(IniFixture, DeletesAKeyOfItsSectionOnlyAndLeavesAFileWithoutItUntouched) {
    Write("[Main]\r\nNotify=0\r\nVolume=1\r\n[Other]\r\nnotify=7\r\n");
    IniFile ini(path());
    ini.DeleteKey("main", "NOTIFY");
    EXPECT_EQ(Read(), "[Main]\r\nVolume=1\r\n[Other]\r\nnotify=7\r\n");
    // Nothing to delete: the file is not written at all (a write would
    // replace it with a new file, made now).
    const auto identity = [&] {
        struct stat st {};
        ::stat(QFile::encodeName(path()).constData(), &st);
        return std::tuple(st.st_ino, st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    };
    const auto before = identity();
    // Past the kernel's coarse clock tick, so that a new file would carry
    // another time even if it got the old inode number back.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ini.DeleteKey("Main", "Notify");
    ini.DeleteKey("Missing", "Notify");
    EXPECT_EQ(identity(), before);
    EXPECT_EQ(Read(), "[Main]\r\nVolume=1\r\n[Other]\r\nnotify=7\r\n");
}

TEST_F(IniFixture, CreatesAMissingFileAndKeepsCrLfFiles) {
    IniFile fresh(path());
    fresh.WriteString("Main", "Proxy", "");
    fresh.WriteInteger("Main", "Volume", 50);
    EXPECT_EQ(Read(), "[Main]\nProxy=\nVolume=50\n");

    Write("[Main]\r\nVolume=1\r\n");
    fresh.WriteInteger("Main", "Volume", 2);
    EXPECT_EQ(Read(), "[Main]\r\nVolume=2\r\n");
}

TEST_F(IniFixture, AFailedWriteIsReportedAndLeavesTheFile) {
    Write("[Main]\nVolume=1\n");
    IniFile ini(path());
    {
        FileSizeLimit limit(8);
        try {
            ini.WriteString("Main", "SkinName", QString(100, 'x'));
            ADD_FAILURE() << "no error";
        } catch (const QuoraneError &e) {
            EXPECT_EQ(e.message(), "Unable to write to " + path());
        }
    }
    EXPECT_EQ(Read(), "[Main]\nVolume=1\n");
}

TEST_F(IniFixture, TextsPassThroughTheEightBitPage) {
    ASSERT_TRUE(CodePage::SetForTesting("windows-1252"));
    IniFile ini(path());
    ini.WriteString("Favorites", "Fav1", QString::fromUtf8("http://caf\u00e9/\u0420"));
    EXPECT_EQ(Read(), "[Favorites]\nFav1=http://caf\xE9/?\n");
    EXPECT_EQ(ini.ReadString("Favorites", "Fav1", ""), QString::fromUtf8("http://caf\u00e9/?"));
    CodePage::SetForTesting(QByteArray());
}

namespace {
const QByteArray Stored = "[Main]\nVolume = 73\nSkinName=Snow\n[Favorites]\nFav1=http://a/\n";
} // namespace

TEST_F(IniFixture, AFileThatCannotBeReadReadsAsDefaultsAndIsNeverReplaced) {
    // Files the reader has no right to read, as another user's are: one
    // without any rights, and one it may write but not read. Root reads any
    // file, so the checks run as "nobody" in a child.
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777)));
    const QFileDevice::Permissions writeOnly =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    for (const QFileDevice::Permissions rights : {QFileDevice::Permissions(), writeOnly}) {
        QFile::remove(path());
        Write(Stored);
        ASSERT_TRUE(QFile::setPermissions(path(), rights));
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int code = 0;
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                _exit(10);
            IniFile ini(path());
            if (!ini.Unreadable())
                code |= 1;
            if (ini.ReadInteger("Main", "Volume", 50) != 50)
                code |= 2;
            try {
                ini.WriteInteger("Main", "Volume", 20);
                code |= 4;
            } catch (const QuoraneError &) {
            }
            try {
                ini.BeginBatch();
                ini.WriteString("Main", "SkinName", "x");
                ini.Commit();
                code |= 8;
            } catch (const QuoraneError &) {
            }
            _exit(code);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0)
            << "rights " << int(rights)
            << ": 1 readable, 2 not the default, 4/8 a write went through";
        QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        EXPECT_EQ(Read(), Stored) << "rights " << int(rights);
    }

    // Something that is not a file in its place is left alone too.
    QFile::remove(path());
    ASSERT_TRUE(QDir().mkpath(path()));
    IniFile folder(path());
    EXPECT_TRUE(folder.Unreadable());
    EXPECT_THROW(folder.WriteInteger("Main", "Volume", 1), QuoraneError);
    EXPECT_TRUE(QFileInfo(path()).isDir());
    // A missing file is simply not there yet: it can be written.
    IniFile missing(dir.path() + "/new.ini");
    EXPECT_FALSE(missing.Unreadable());
    EXPECT_NO_THROW(missing.WriteInteger("Main", "Volume", 1));
}

TEST_F(IniFixture, ABatchReachesTheFileInOneWriteOnlyOnCommit) {
    Write(Stored);
    IniFile ini(path());
    ini.BeginBatch();
    ini.WriteInteger("Main", "Volume", 20);
    ini.WriteString("Favorites", "Fav2", "http://b/");
    ini.WriteString("New", "Key", "v");
    EXPECT_EQ(Read(), Stored) << "nothing written before Commit";
    EXPECT_EQ(ini.ReadInteger("Main", "Volume", 0), 20) << "reads see the batch";
    ini.Commit();
    EXPECT_EQ(Read(), QByteArray("[Main]\nVolume=20\nSkinName=Snow\n[Favorites]\nFav1=http://a/\n"
                                 "Fav2=http://b/\n[New]\nKey=v\n"));
    // After the commit every write goes to the file at once again.
    ini.WriteInteger("Main", "Volume", 5);
    EXPECT_TRUE(Read().contains("Volume=5\n"));
}
