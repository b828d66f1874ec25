// Taking the title out of a metadata block, and the count shown for it.
#include "playback/StreamTitle.h"

#include <QLocale>
#include <gtest/gtest.h>

TEST(StreamTitleText, TakesTheTitleAsTheBlockIsLaidOut) {
    EXPECT_EQ(RawStreamTitle("StreamTitle='Artist - Song';StreamUrl='';"), "Artist - Song");
    EXPECT_EQ(RawStreamTitle("StreamTitle='';"), "");
    // A semicolon in the title cuts it and loses the character before it.
    EXPECT_EQ(RawStreamTitle("StreamTitle='AB;C';"), "A");
    // Another entry first: its ";" comes before the title, which is empty.
    EXPECT_EQ(RawStreamTitle("StreamUrl='x';StreamTitle='Song';"), "");
    // A value without quotes loses its first and last characters.
    EXPECT_EQ(RawStreamTitle("StreamTitle=Song;"), "on");
    // No ";" at all: nothing usable.
    EXPECT_EQ(RawStreamTitle("StreamTitle='Song'"), "");
    // Letter case matters; no entry means no title at all (null).
    EXPECT_TRUE(RawStreamTitle("streamtitle='x';").isNull());
    EXPECT_TRUE(RawStreamTitle("").isNull());
    EXPECT_FALSE(RawStreamTitle("StreamTitle=;").isNull());
    EXPECT_EQ(RawStreamTitle("StreamTitle=;"), "");
    // UTF-8 bytes pass through untouched; decoding comes later.
    EXPECT_EQ(RawStreamTitle("StreamTitle='Caf\xC3\xA9';"), "Caf\xC3\xA9");
}

TEST(StreamTitleText, NeverReadsPastTheBlock) {
    // Truncated blocks of every length give a title inside the block.
    const QByteArray full = "StreamTitle='Artist - Song';StreamUrl='';";
    for (int n = 0; n <= full.size(); ++n) {
        const QByteArray part = full.left(n);
        const QByteArray title = RawStreamTitle(part);
        EXPECT_LE(title.size(), part.size()) << n;
        if (!title.isEmpty()) {
            EXPECT_TRUE(part.contains(title)) << n;
        }
    }
}

TEST(StreamTitleText, CountsMegabytesWithThreeDecimals) {
    const QString sep = QLocale::system().decimalPoint();
    EXPECT_EQ(MetadataReceivedText(40), "Metadata received: 0" + sep + "000 Mb");
    EXPECT_EQ(MetadataReceivedText(1048576), "Metadata received: 1" + sep + "000 Mb");
    EXPECT_EQ(MetadataReceivedText(10485760), "Metadata received: 10" + sep + "000 Mb");
    EXPECT_EQ(MetadataReceivedText(1572864), "Metadata received: 1" + sep + "500 Mb");
}
