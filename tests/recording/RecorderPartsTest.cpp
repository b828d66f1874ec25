// The recorder's parts on their own: Ogg pages made and read back, the
// frames of MP3 and ADTS streams found in any cut of their bytes, the quiet
// point of a change, file names and the keep-the-longer rule, and tags that
// ffprobe reads back.
#include "HeAacLatm.h"
#include "SongStreams.h"
#include "recording/CutFinder.h"
#include "recording/LatmFramer.h"
#include "recording/M4aSongFile.h"
#include "recording/MpegFramer.h"
#include "recording/MpegSongFile.h"
#include "recording/OggPage.h"
#include "recording/SongLibrary.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorane::test;

namespace {

QByteArray bytesOf(const std::string &s) {
    return QByteArray(s.data(), qsizetype(s.size()));
}

// ---- Ogg pages ----

struct PagedPackets {
    const char *name;
    std::vector<int> sizes; // packet sizes
    int pages;              // pages they take
};

class OggPages : public ::testing::TestWithParam<PagedPackets> {};

TEST_P(OggPages, PaginateAndReadBack) {
    QList<QByteArray> packets;
    for (size_t i = 0; i < GetParam().sizes.size(); ++i)
        packets.append(QByteArray(GetParam().sizes[i], char('a' + i)));
    const QList<OggPage> pages = OggPage::Paginate(packets, 0xCAFE, 7, 1234, OggPage::First, false);
    ASSERT_EQ(pages.size(), GetParam().pages);
    QByteArray stream;
    for (const OggPage &p : pages)
        stream += p.Serialize();
    // Read back: the same pages, and the same packets once joined.
    QList<QByteArray> joined;
    QByteArray open;
    qsizetype at = 0;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        OggPage page;
        const qsizetype n = OggPage::Parse(QByteArrayView(stream).sliced(at), page);
        ASSERT_GT(n, 0);
        at += n;
        EXPECT_EQ(page.Serial, 0xCAFEu);
        EXPECT_EQ(page.Sequence, uint32_t(7 + i));
        EXPECT_EQ(bool(page.Flags & OggPage::First), i == 0);
        EXPECT_EQ(bool(page.Flags & OggPage::Continued), i > 0 && pages[i - 1].EndsOpen());
        // A page on which no packet ends has no granule position.
        EXPECT_EQ(page.Granule, page.EndsOpen() && page.Pieces().size() == 1 ? -1 : 1234);
        const QList<QByteArray> pieces = page.Pieces();
        for (qsizetype k = 0; k < pieces.size(); ++k) {
            open += pieces[k];
            if (k < pieces.size() - 1 || !page.EndsOpen()) {
                joined.append(open);
                open.clear();
            }
        }
    }
    EXPECT_EQ(at, stream.size());
    EXPECT_EQ(joined, packets);
}

INSTANTIATE_TEST_SUITE_P(Sizes, OggPages,
                         ::testing::Values(PagedPackets{"Small", {30, 1, 200}, 1},
                                           PagedPackets{"Empty", {0, 5}, 1},
                                           PagedPackets{"Exactly255", {255, 510}, 1},
                                           PagedPackets{"FillsAPage", {255 * 254, 10}, 2},
                                           PagedPackets{"SpansTwoPages", {70000, 3}, 2},
                                           PagedPackets{"Huge", {255 * 255 * 2 + 1}, 3}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(OggPages, RefusesDamageAndWaitsForTheRest) {
    OggPage page;
    page.Lacing = {3};
    page.Body = "abc";
    const QByteArray bytes = page.Serialize();
    OggPage read;
    EXPECT_EQ(OggPage::Parse(bytes, read), bytes.size());
    EXPECT_EQ(OggPage::Parse(bytes.left(bytes.size() - 1), read), 0);
    EXPECT_EQ(OggPage::Parse(bytes.left(3), read), 0);
    QByteArray damaged = bytes;
    damaged[damaged.size() - 1] = 'x';
    EXPECT_EQ(OggPage::Parse(damaged, read), -1);
    EXPECT_EQ(OggPage::Parse(QByteArray("OggT") + bytes.mid(4), read), -1);
}

TEST(OggPages, DropPiecesThatAreNotWhole) {
    OggPage page;
    page.Flags = OggPage::Continued;
    // The end of a packet (255 + 10), a whole one (4), the start of one (255).
    page.Lacing = {255, 10, 4, 255};
    page.Body = QByteArray(265, 'e') + QByteArray(4, 'w') + QByteArray(255, 's');
    OggPage front = page;
    ASSERT_TRUE(front.DropLeadingPiece());
    EXPECT_EQ(front.Pieces(), (QList<QByteArray>{QByteArray(4, 'w'), QByteArray(255, 's')}));
    EXPECT_FALSE(front.Flags & OggPage::Continued);
    ASSERT_TRUE(front.DropTrailingPiece());
    EXPECT_EQ(front.Pieces(), QList<QByteArray>{QByteArray(4, 'w')});
    EXPECT_FALSE(front.EndsOpen());
    OggPage only;
    only.Flags = OggPage::Continued;
    only.Lacing = {255, 255};
    only.Body = QByteArray(510, 'x');
    EXPECT_FALSE(OggPage(only).DropLeadingPiece());
    EXPECT_FALSE(OggPage(only).DropTrailingPiece());
}

// ---- the quiet point ----

struct QuietCase {
    const char *name;
    std::vector<std::pair<double, double>> quiet; // stretches at level 0
    double at;                                    // the change is heard here
    double notBefore;
    double cut; // expected
};

class QuietPoint : public ::testing::TestWithParam<QuietCase> {};

TEST_P(QuietPoint, FindsTheMiddleOfTheQuietestStretch) {
    // 30 s of 26 ms packets at a loud level, with the case's quiet stretches.
    QList<CutFinder::Level> levels;
    for (double t = 0; t < 30; t += 0.026) {
        double level = 0.1;
        for (auto [from, to] : GetParam().quiet)
            if (t >= from && t + 0.026 <= to)
                level = 0;
        levels.append({t, 0.026, level});
    }
    EXPECT_NEAR(CutFinder::Quietest(levels, GetParam().at, GetParam().notBefore), GetParam().cut,
                0.03);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuietPoint,
    ::testing::Values(QuietCase{"GapBeforeTheChange", {{10.0, 10.3}}, 12, 0, 10.15},
                      QuietCase{"GapAfterTheChange", {{14.0, 14.3}}, 12, 0, 14.15},
                      QuietCase{"NearerOfTwoGaps", {{8, 8.3}, {13, 13.3}}, 12, 0, 13.15},
                      QuietCase{"GapTooFarAway", {{5, 5.3}}, 12, 0, 12},
                      QuietCase{"GapBeforeWhatIsWritten", {{10, 10.3}}, 12, 11, 12},
                      QuietCase{"LongGap", {{11, 13}}, 12, 0, 12}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(QuietPoint, NoLevelsCutsAtTheChange) {
    EXPECT_EQ(CutFinder::Quietest({}, 7.5, 0), 7.5);
}

// ---- frames of MP3 and ADTS streams ----

struct FramedSample {
    const char *name;
    const char *file;
    const char *extension;
};

class MpegFrames : public ::testing::TestWithParam<FramedSample> {};

TEST_P(MpegFrames, FoundInAnyCutOfTheBytes) {
    const QByteArray file = bytesOf(fileBytes(fixtureAudio(GetParam().file)));
    ASSERT_GT(file.size(), 10000);
    // Joined mid-frame after some junk, fed in awkward pieces.
    const QByteArray junk("\xFF\xFB\x00junk\xFF", 8);
    const QByteArray stream = junk + file.mid(333);
    MpegFramer framer;
    for (qsizetype at = 0, step = 1; at < stream.size(); at += step, step = step * 7 % 1531 + 1)
        framer.Feed(quint64(at), stream.mid(at, step));
    framer.Finish();
    const QList<StreamUnit> units = framer.TakeUnits();
    ASSERT_GT(units.size(), 100);
    EXPECT_EQ(framer.Extension(), GetParam().extension);
    // Frames one after another, each starting with a header, and together
    // the rest of the file after its first whole frame.
    QByteArray joined;
    for (qsizetype i = 0; i < units.size(); ++i) {
        EXPECT_GT(MpegFramer::Read(units[i].Bytes).Length, 0);
        if (i > 0) {
            EXPECT_EQ(units[i].Pos, units[i - 1].End);
        }
        joined += units[i].Bytes;
    }
    const qsizetype first = qsizetype(units[0].Pos) - junk.size() + 333;
    EXPECT_LT(first - 333, 2000);
    EXPECT_EQ(joined, file.mid(first, joined.size()));
    EXPECT_GT(joined.size(), file.size() - first - 2000);
}

TEST_P(MpegFrames, FindsItsStepAgainAfterAGap) {
    const QByteArray file = bytesOf(fileBytes(fixtureAudio(GetParam().file)));
    MpegFramer framer;
    framer.Feed(0, file.left(20000));
    // Bytes 20000 ... 29999 never came.
    framer.Feed(30000, file.mid(30000));
    framer.Finish();
    const QList<StreamUnit> units = framer.TakeUnits();
    ASSERT_FALSE(units.isEmpty());
    for (const StreamUnit &u : units) {
        EXPECT_TRUE(u.End <= 20000 || u.Pos >= 30000) << u.Pos;
        EXPECT_EQ(u.Bytes, file.mid(qsizetype(u.Pos), u.Bytes.size()));
    }
    EXPECT_GT(units.last().Pos, quint64(file.size() - 2000));
}

INSTANTIATE_TEST_SUITE_P(Forms, MpegFrames,
                         ::testing::Values(FramedSample{"Mp3", "tone440.mp3", "mp3"},
                                           FramedSample{"Adts", "tone440.aac", "aac"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(MpegFrames, GarbageGivesNoFrames) {
    MpegFramer framer;
    QByteArray noise(100000, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251 == 0 ? 0xFF : (i * 31) % 256);
    framer.Feed(0, noise);
    framer.Finish();
    EXPECT_LT(framer.TakeUnits().size(), 3);
}

// ---- names and places ----

struct NameCase {
    const char *text;
    const char *name;
};

class SafeNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(SafeNames, HoldOnlyWhatEveryFileSystemTakes) {
    EXPECT_EQ(SongLibrary::SafeName(QString::fromUtf8(GetParam().text), QStringLiteral("Fallback")),
              QString::fromUtf8(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SafeNames,
    ::testing::Values(NameCase{"AC/DC", "AC_DC"},
                      NameCase{"What?: \"Now\" <live> | *", "What__ _Now_ _live_ _ _"},
                      NameCase{"..hidden", "__hidden"}, NameCase{".", "Fallback"},
                      NameCase{"  trailing dots...  ", "trailing dots"},
                      NameCase{"tab\there", "tab_here"}, NameCase{"", "Fallback"},
                      NameCase{"Motörhead – Ünïcode 🎵", "Motörhead – Ünïcode 🎵"},
                      NameCase{"back\\slash", "back_slash"}));

TEST(SafeNames, LongNamesStopAtWholeCharacters) {
    const QString name = SongLibrary::SafeName(QString(150, QChar(0x00E9)), QString());
    EXPECT_LE(name.toUtf8().size(), 200);
    EXPECT_EQ(name, QString(100, QChar(0x00E9)));
    const QString emoji = SongLibrary::SafeName(QString::fromUtf8("🎵").repeated(80), QString());
    EXPECT_EQ(emoji, QString::fromUtf8("🎵").repeated(50));
    EXPECT_EQ(SongLibrary::SongName(QString(), QStringLiteral("Song")), QStringLiteral("Song"));
    EXPECT_EQ(SongLibrary::SongName(QStringLiteral("A/B"), QStringLiteral("C")),
              QStringLiteral("A_B - C"));
}

TEST(SongPlaces, TheLongerRecordingOfASongWins) {
    QTemporaryDir music;
    SongLibrary library(music.path(), QStringLiteral("Station: One"));
    EXPECT_EQ(library.StationFolder(), music.path() + QStringLiteral("/Quorane/Station_ One"));
    const auto make = [&](qsizetype size) {
        QString reason;
        const QString path = library.TemporaryPath(QStringLiteral("mp3"), reason);
        EXPECT_FALSE(path.isEmpty()) << reason.toStdString();
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, 'x'));
        return path;
    };
    const struct {
        qsizetype size;
        SongLibrary::Outcome outcome;
        qsizetype kept;
    } steps[] = {{100, SongLibrary::Outcome::Placed, 100},
                 {50, SongLibrary::Outcome::KeptOlder, 100},
                 {100, SongLibrary::Outcome::KeptOlder, 100},
                 {300, SongLibrary::Outcome::Placed, 300}};
    for (const auto &step : steps) {
        QString placed, reason;
        const QString temporary = make(step.size);
        EXPECT_EQ(library.Place(temporary, QStringLiteral("A - B"), QStringLiteral("mp3"), false,
                                placed, reason),
                  step.outcome);
        EXPECT_EQ(placed, library.StationFolder() + QStringLiteral("/Incomplete/A - B.mp3"));
        EXPECT_EQ(QFile(placed).size(), step.kept);
        EXPECT_FALSE(QFile::exists(temporary));
    }
}

// ---- tags ----

class Tagged : public ::testing::TestWithParam<FramedSample> {};

TEST_P(Tagged, FfprobeReadsEveryTag) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.") + GetParam().extension);
    SongTags tags;
    tags.Title = QString::fromUtf8("Ünïcode title, long ") + QString(300, QChar(u'x'));
    tags.Artist = QString::fromUtf8("Björk & Friends");
    tags.Album = QStringLiteral("Quorane Test FM");
    tags.Date = QStringLiteral("2026-03-14");
    tags.Comment = QStringLiteral("http://127.0.0.1:8000/live?x=1");
    MpegSongFile file;
    QString reason;
    ASSERT_TRUE(file.Open(path, tags, reason)) << reason.toStdString();
    MpegFramer framer;
    framer.Feed(0, bytesOf(fileBytes(fixtureAudio(GetParam().file))));
    for (const StreamUnit &u : framer.TakeUnits())
        ASSERT_TRUE(file.Write(u, reason));
    ASSERT_TRUE(file.Close(reason));
    const Probed p = probeFile(path.toStdString());
    EXPECT_EQ(p.errors, "");
    EXPECT_EQ(p.tag("title"), tags.Title.toStdString());
    EXPECT_EQ(p.tag("artist"), tags.Artist.toStdString());
    EXPECT_EQ(p.tag("album"), tags.Album.toStdString());
    EXPECT_EQ(p.tag("date"), tags.Date.toStdString());
    EXPECT_EQ(p.tag("comment"), tags.Comment.toStdString());
    EXPECT_EQ(decodeFile(path.toStdString()).errors, "");
}

// ---- AAC in LATM, into .m4a ----

struct LatmSample {
    const char *name;
    const char *adts; // the AAC the LATM carries (HeAacLatm wraps it)
    HeAacLatm::Kind kind;
    int rate, channels; // what the .m4a holds
};

class LatmToM4a : public ::testing::TestWithParam<LatmSample> {};

TEST_P(LatmToM4a, EveryAccessUnitInAFileThatPlays) {
    const LatmSample &s = GetParam();
    const std::string latm = HeAacLatm::fromAdts(fileBytes(fixtureAudio(s.adts)), s.kind);
    LatmFramer framer;
    // Joined mid-frame, fed in pieces.
    for (size_t at = 100; at < latm.size(); at += 1000)
        framer.Feed(at, bytesOf(latm.substr(at, 1000)));
    ASSERT_EQ(framer.Problem(), QString());
    const QList<StreamUnit> units = framer.TakeUnits();
    ASSERT_GT(units.size(), 200);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.m4a"));
    SongTags tags;
    tags.Title = QStringLiteral("Song");
    tags.Album = QStringLiteral("Quorane Test FM");
    std::unique_ptr<SongFile> file = framer.NewFile();
    QString reason;
    ASSERT_TRUE(file->Open(path, tags, reason)) << reason.toStdString();
    for (const StreamUnit &u : units)
        ASSERT_TRUE(file->Write(u, reason)) << reason.toStdString();
    ASSERT_TRUE(file->Close(reason)) << reason.toStdString();
    const Probed p = probeFile(path.toStdString());
    EXPECT_EQ(p.errors, "");
    EXPECT_EQ(p.tag("title"), "Song");
    EXPECT_EQ(p.tag("album"), "Quorane Test FM");
    // The 10 s tone, less the frame cut off at the join.
    EXPECT_NEAR(p.duration, 10.0, 0.15);
    const Decoded d = decodeFile(path.toStdString());
    EXPECT_EQ(d.errors, "");
    EXPECT_NEAR(d.seconds(), 10.0, 0.15);
    EXPECT_EQ(units[0].Track->SampleRate, s.rate);
    EXPECT_EQ(units[0].Track->Channels, s.channels);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, LatmToM4a,
    ::testing::Values(LatmSample{"Lc", "tone440.aac", HeAacLatm::Kind::Lc, 44100, 2},
                      LatmSample{"HeAac", "tone440-22k.aac", HeAacLatm::Kind::Sbr, 44100, 2},
                      LatmSample{"HeAacV2", "tone440-22k-mono.aac", HeAacLatm::Kind::SbrPs, 44100,
                                 1}),
    [](const auto &info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Forms, Tagged,
                         ::testing::Values(FramedSample{"Mp3", "tone440.mp3", "mp3"},
                                           FramedSample{"Adts", "tone440.aac", "aac"}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
