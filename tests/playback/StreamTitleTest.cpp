// Taking the title out of a metadata block, decoding it, and handling each
// block the engine announces once, in order, on the UI thread.
#include "RecordingView.h"

#include "../bench/common/ProcStatus.h"
#include "platform/CodePage.h"
#include "playback/StreamPlayer.h"
#include "playback/StreamTitle.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

TEST(StreamTitleText, TakesTheStreamTitleValue) {
    EXPECT_EQ(RawStreamTitle("StreamTitle='Artist - Song';StreamUrl='';"), "Artist - Song");
    EXPECT_EQ(RawStreamTitle("StreamTitle='';"), "");
    // A ";" inside the quotes belongs to the title.
    EXPECT_EQ(RawStreamTitle("StreamTitle='AB;C';"), "AB;C");
    // Another entry first, its own ";" before the title.
    EXPECT_EQ(RawStreamTitle("StreamUrl='';StreamTitle='X';"), "X");
    // A quote inside the title is not followed by ";".
    EXPECT_EQ(RawStreamTitle("StreamTitle='It's';"), "It's");
    EXPECT_EQ(RawStreamTitle("StreamTitle='It's';StreamUrl='a';b';"), "It's");
    // Unquoted: to the next ";" or the end.
    EXPECT_EQ(RawStreamTitle("StreamTitle=Song;"), "Song");
    EXPECT_EQ(RawStreamTitle("StreamTitle=Song"), "Song");
    EXPECT_EQ(RawStreamTitle("StreamTitle=;"), "");
    // The closing quote may end the block; an unclosed one runs to the end.
    EXPECT_EQ(RawStreamTitle("StreamTitle='Song'"), "Song");
    EXPECT_EQ(RawStreamTitle("StreamTitle='Song"), "Song");
    EXPECT_EQ(RawStreamTitle("StreamTitle='"), "");
    // Letter case matters; no entry means no title at all (null).
    EXPECT_TRUE(RawStreamTitle("streamtitle='x';").isNull());
    EXPECT_TRUE(RawStreamTitle("").isNull());
    EXPECT_FALSE(RawStreamTitle("StreamTitle='';").isNull());
    // UTF-8 bytes pass through untouched; decoding comes later.
    EXPECT_EQ(RawStreamTitle("StreamTitle='Caf\xC3\xA9';"), "Caf\xC3\xA9");
}

TEST(StreamTitleText, NeverReadsPastTheBlock) {
    // Truncated blocks of every length give a title inside the block.
    const QByteArray full = "StreamUrl='u';StreamTitle='It's - A;B';StreamUrl='';";
    for (int n = 0; n <= full.size(); ++n) {
        const QByteArray part = full.left(n);
        const QByteArray title = RawStreamTitle(part);
        EXPECT_LE(title.size(), part.size()) << n;
        if (!title.isEmpty()) {
            EXPECT_TRUE(part.contains(title)) << n;
        }
    }
}

TEST(StreamTitleText, DecodesUtf8AndElseWindows1252) {
    EXPECT_EQ(DecodeStreamTitle("Caf\xC3\xA9"), QString::fromUtf8("Caf\xC3\xA9"));
    // Latin-1 as servers pass on an 8-bit source's title.
    EXPECT_EQ(DecodeStreamTitle("Beyonc\xE9"), QString::fromUtf8("Beyonc\xC3\xA9"));
    // windows-1252's own characters in the 0x80 row.
    EXPECT_EQ(DecodeStreamTitle("\x93Hi\x94 \x80"),
              QString::fromUtf8("\xE2\x80\x9CHi\xE2\x80\x9D \xE2\x82\xAC"));
    // Then through the code page: what an 8-bit page cannot hold becomes "?".
    ASSERT_TRUE(CodePage::SetForTesting("windows-1252"));
    EXPECT_EQ(DecodeStreamTitle("\xD0\x96 Caf\xC3\xA9"), QString::fromUtf8("? Caf\xC3\xA9"));
    EXPECT_EQ(DecodeStreamTitle("Beyonc\xE9"), QString::fromUtf8("Beyonc\xC3\xA9"));
    CodePage::SetForTesting("");
}

TEST(StreamTitleText, CountsMegabytesWithThreeDecimals) {
    const QString sep = QLocale::system().decimalPoint();
    EXPECT_EQ(MetadataReceivedText(40), "Metadata received: 0" + sep + "000 Mb");
    EXPECT_EQ(MetadataReceivedText(1048576), "Metadata received: 1" + sep + "000 Mb");
    EXPECT_EQ(MetadataReceivedText(10485760), "Metadata received: 10" + sep + "000 Mb");
    EXPECT_EQ(MetadataReceivedText(1572864), "Metadata received: 1" + sep + "500 Mb");
}

TEST(UpdateStreamTitle, ShowsTheTitleOrFallsBackAndCountsOnlyTitleBlocks) {
    PlaybackState state;
    RecordingView view;
    state.CurrentUrl = "http://radio.example/live";
    state.IcyName = "Test FM";

    UpdateStreamTitle("StreamUrl='';StreamTitle='X';", state, view);
    EXPECT_EQ(view.nowPlaying, "X");
    EXPECT_EQ(view.titles, QStringList{"X"});
    EXPECT_EQ(state.MetaBytes, 29);
    EXPECT_TRUE(view.panels[PlayerView::MetadataPanel].startsWith("Metadata received: 0"));

    // No StreamTitle: nothing shown, nothing counted.
    view.panels[PlayerView::MetadataPanel] = "unchanged";
    UpdateStreamTitle("StreamUrl='http://x/';", state, view);
    EXPECT_EQ(view.nowPlaying, "X");
    EXPECT_EQ(view.titles.size(), 1);
    EXPECT_EQ(state.MetaBytes, 29);
    EXPECT_EQ(view.panels[PlayerView::MetadataPanel], "unchanged");

    // Empty: the station name, then the URL; the block counts either way.
    UpdateStreamTitle("StreamTitle='';", state, view);
    EXPECT_EQ(view.nowPlaying, "Test FM");
    EXPECT_EQ(view.titles.last(), "Test FM");
    state.IcyName.clear();
    UpdateStreamTitle("StreamTitle=;", state, view);
    EXPECT_EQ(view.nowPlaying, "http://radio.example/live");
    EXPECT_EQ(state.MetaBytes, 29 + 15 + 13);

    UpdateStreamTitle("StreamTitle='Beyonc\xE9 - Halo';", state, view);
    EXPECT_EQ(view.nowPlaying, QString::fromUtf8("Beyonc\xC3\xA9 - Halo"));
}

namespace {

// The block the stand-in engine announces, replaced by the announcing
// thread right after each announcement, as the engine may do.
std::mutex currentMutex;
QByteArray currentBlock;

const char *CurrentTags(DWORD, DWORD) {
    std::lock_guard<std::mutex> lock(currentMutex);
    return currentBlock.constData();
}

// Announces `count` blocks on `channel` from a thread of its own, spread
// over about a second, each through the player's notification.
void Announce(StreamPlayer &player, DWORD channel, int count, int first) {
    std::thread engine([&] {
        for (int i = 0; i < count; ++i) {
            {
                std::lock_guard<std::mutex> lock(currentMutex);
                currentBlock = "StreamTitle='Song " + QByteArray::number(first + i) + "';";
            }
            StreamPlayer::MetaSyncProc(1, channel, 0, &player);
            {
                std::lock_guard<std::mutex> lock(currentMutex);
                currentBlock = "StreamTitle='not announced';";
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    engine.join();
}

// Lets the queued hand-overs arrive.
void Drain(const RecordingView &view, int expected) {
    QElapsedTimer waited;
    waited.start();
    while (view.titles.size() < expected && waited.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents();
}

} // namespace

TEST(MetadataHandOver, AFloodOfBlocksIsHandledOnceEachInOrderWithMemoryFlat) {
    PlaybackState state;
    RecordingView view;
    // The player reads the block through the engine's table, as it does
    // from the real engine; the stand-in answers with the current block.
    state.Bass.BASS_ChannelGetTags = &CurrentTags;
    state.Channel = 7;
    StreamPlayer player(state, view);

    Announce(player, 7, 500, 0);
    Drain(view, 500);
    ASSERT_EQ(view.titles.size(), 500);
    qint64 bytes = 0;
    for (int i = 0; i < 500; ++i) {
        const QString title = QStringLiteral("Song %1").arg(i);
        ASSERT_EQ(view.titles[i], title) << i;
        bytes += 15 + title.size();
    }
    EXPECT_EQ(state.MetaBytes, bytes);

    // A second flood costs no memory that stays.
    const long before = RssKiB();
    Announce(player, 7, 500, 500);
    Drain(view, 1000);
    EXPECT_EQ(view.titles.size(), 1000);
    EXPECT_EQ(view.titles.last(), "Song 999");
    EXPECT_LT(RssKiB() - before, 4096) << "KiB kept by 500 blocks";

    // Blocks of a stream released since never reach the window.
    state.Channel = 8;
    Announce(player, 7, 20, 0);
    Drain(view, 1000);
    EXPECT_EQ(view.titles.size(), 1000);
    Announce(player, 8, 1, 42);
    Drain(view, 1001);
    EXPECT_EQ(view.titles.last(), "Song 42");
}
