// The INI rules Quorane's settings and geometry files depend on.
#include "platform/IniFile.h"
#include "common/FileSizeLimit.h"
#include "platform/CodePage.h"
#include "platform/QuoraneError.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
