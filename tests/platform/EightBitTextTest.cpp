// Which bytes count as UTF-8, and how 8-bit text is read when they do not:
// the rule shared by station files, settings files and stream titles.
#include "platform/CodePage.h"
#include "platform/Utf8Validator.h"

#include <gtest/gtest.h>

namespace {

bool FedInPieces(const QByteArray &bytes) {
    // One byte at a time: every sequence is cut by a block boundary.
    Utf8Validator v;
    for (char c : bytes)
        v.Feed(QByteArrayView(&c, 1));
    return v.Valid();
}

} // namespace

TEST(Utf8ValidatorTest, AcceptsUtf8AndRejectsWhatOnlyLooksLikeIt) {
    const QByteArray good[] = {"",
                               "plain ASCII",
                               "Caf\xC3\xA9",
                               "\xE2\x82\xAC",
                               "\xF0\x9F\x98\x80",
                               "\xED\x9F\xBF",
                               "\xF4\x8F\xBF\xBF",
                               "\xEF\xBF\xBF"};
    for (const QByteArray &b : good) {
        EXPECT_TRUE(Utf8Validator::IsValid(b)) << b.toHex().constData();
        EXPECT_TRUE(FedInPieces(b)) << b.toHex().constData();
    }
    const QByteArray bad[] = {
        "Caf\xE9",          // Latin-1
        "\xC0\x80",         // overlong NUL
        "\xC1\xBF",         // overlong
        "\xE0\x80\xAF",     // overlong three bytes
        "\xF0\x8F\xBF\xBF", // overlong four bytes
        "\xED\xA0\x80",     // a surrogate
        "\xF4\x90\x80\x80", // past U+10FFFF
        "\xF5\x80\x80\x80", // no such lead byte
        "\x80",             // a continuation byte alone
        "\xC3",             // cut off at the end
        "\xE2\x82",         // cut off at the end
        "\xE2\x28\xA1",     // a continuation byte missing
    };
    for (const QByteArray &b : bad) {
        EXPECT_FALSE(Utf8Validator::IsValid(b)) << b.toHex().constData();
        EXPECT_FALSE(FedInPieces(b)) << b.toHex().constData();
    }
    // The text ends at its first NUL: what follows is not looked at.
    EXPECT_TRUE(Utf8Validator::IsValid(QByteArray("ok\0\xFF", 4)));
    EXPECT_FALSE(Utf8Validator::IsValid(QByteArray("\xFF\0ok", 4)));
}

TEST(CodePageTest, EightBitBytesInAUtf8PageReadAsWindows1252) {
    ASSERT_TRUE(CodePage::SetForTesting("UTF-8"));
    EXPECT_EQ(CodePage::FromAnsi("Beyonc\xE9"), QString::fromUtf8("Beyonc\u00e9"));
    EXPECT_EQ(CodePage::FromAnsi("\x80\x85\x8A\x9F\xA0\xFF"),
              QString::fromUtf8("\u20ac\u2026\u0160\u0178\u00a0\u00ff"));
    // Valid UTF-8 stays UTF-8.
    EXPECT_EQ(CodePage::FromAnsi("Beyonc\xC3\xA9"), QString::fromUtf8("Beyonc\u00e9"));
    // The five bytes windows-1252 leaves undefined keep their values, and
    // come back as themselves from an 8-bit file written in that page.
    const QString undefined = CodePage::FromWindows1252("\x81\x8D\x8F\x90\x9D");
    EXPECT_EQ(undefined,
              QString() + QChar(0x81) + QChar(0x8D) + QChar(0x8F) + QChar(0x90) + QChar(0x9D));
    EXPECT_EQ(CodePage::FromAnsi(CodePage::ToAnsi(undefined)), undefined)
        << "through a UTF-8 file and back";
    // Titles use the same rule whatever the page.
    ASSERT_TRUE(CodePage::SetForTesting("windows-1251"));
    EXPECT_EQ(CodePage::FromUtf8Or1252("Caf\xE9"), QString::fromUtf8("Caf\u00e9"));
    EXPECT_EQ(CodePage::FromUtf8Or1252("\xD0\x96"), QString::fromUtf8("\u0416"));
    EXPECT_EQ(CodePage::FromAnsi("\xC6"), QString::fromUtf8("\u0416")) << "an 8-bit page is kept";
    CodePage::SetForTesting(QByteArray());
}
