// A disk that fills while a station is recorded: a tmpfs of the test's own,
// small enough to fill in seconds. Whether the free space falls below the
// recorder's bound (lowered for the test from 500 MB) or a write fails for
// want of space, the recording stops with a message, no half-written file is
// left anywhere, what was placed plays, and the station plays on.
#include "RecorderTestSupport.h"
#include "SongStreams.h"
#include "recording/StreamRecorder.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <thread>

using namespace quorane::test;

namespace {

// A tmpfs of `kib` KiB mounted on a folder of its own; unmounted at the end.
class SmallDisk {
public:
    explicit SmallDisk(int kib) {
        const std::string options = "size=" + std::to_string(kib) + "k";
        mounted_ = folder_.isValid() && mount("tmpfs", folder_.path().toLocal8Bit().constData(),
                                              "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_)
            umount2(folder_.path().toLocal8Bit().constData(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    QString path() const { return folder_.path(); }

private:
    QTemporaryDir folder_;
    bool mounted_ = false;
};

struct DiskCase {
    const char *name;
    int diskKiB;
    qint64 minFreeBytes;
    const char *reason; // what the stop says
};

class FillingDisk : public ::testing::TestWithParam<DiskCase> {};

TEST_P(FillingDisk, StopsTheRecordingCleanlyAndPlaysOn) {
    const DiskCase &c = GetParam();
    SmallDisk disk(c.diskKiB);
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root): " << std::strerror(errno);
    SongStation station(SongStation::Form::IcyMp3);
    FastEngine engine;
    ASSERT_TRUE(engine.ok());
    Notices notices;
    StreamRecorder::Settings settings;
    settings.MusicFolder = disk.path();
    settings.MinFreeBytes = c.minFreeBytes;
    StreamRecorder recorder(settings, notices.listener());
    const DWORD ch = recordStation(recorder, station.url());
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    const auto stopped = [&] {
        for (const SongSplitter::Notice &n : notices.get())
            if (n.What == SongSplitter::Notice::Kind::Stopped)
                return n.Reason.toStdString();
        return std::string();
    };
    const bool stoppedInTime =
        waitFor([&] { return !stopped().empty(); }, std::chrono::seconds(60));

    // The station plays on: its decoder still moves on once the recording
    // has stopped, as the shell leaves the stream alone.
    const QWORD before = BASS_StreamGetFilePosition(ch, BASS_FILEPOS_CURRENT);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(BASS_ChannelIsActive(ch), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_GT(BASS_StreamGetFilePosition(ch, BASS_FILEPOS_CURRENT), before);
    stopRecording(recorder, ch);

    ASSERT_TRUE(stoppedInTime) << notices.text();
    EXPECT_NE(stopped().find(c.reason), std::string::npos) << stopped();
    // Nothing half written: the recorder's own folder is empty, and every
    // file placed decodes to its end without an error.
    const QString root = QDir(disk.path()).filePath(QStringLiteral("Quorane"));
    for (const std::string &f : filesUnder(root)) {
        SCOPED_TRACE(f);
        EXPECT_NE(f.rfind(".recording/", 0), 0u) << "left in the recorder's folder";
        const Decoded d = decodeFile(root.toStdString() + "/" + f);
        EXPECT_EQ(d.errors, "");
        EXPECT_GT(d.seconds(), 4.5);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FillingDisk,
                         ::testing::Values(
                             // Below the bound: the song under way is kept as a partial one.
                             DiskCase{"FreeSpaceBelowTheBound", 6 * 1024, 5 * 1024 * 1024,
                                      "Recording stopped: less than"},
                             // No bound at all: the write that fails stops it, and the file it
                             // was writing goes.
                             DiskCase{"WriteFailsForWantOfSpace", 320, 0,
                                      "No space left on device"}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
