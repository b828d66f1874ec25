// The sleep timer on the real main window with the real engine, its output
// written by SDL's disk driver, and its minutes shortened: the minutes left
// in status panel 3, the fade heard at the output, the stop, and the volume
// set back for the next play; switching it off during the fade.
#include "shell/PlaybackFixture.h"

#include "playback/SleepTimer.h"

#include <QAction>
#include <QElapsedTimer>
#include <QSlider>

namespace {

class Sleep : public PlaybackFixture {
protected:
    QByteArray StationFile() const override {
        return "Local FM\tA test station\tTest\tHere\tEnglish\t" +
               QByteArray::fromStdString(server.url("/live")) + "\t\r\n";
    }
    void SetUp() override {
        server.addStream("/live", Mp3Station());
        PlaybackFixture::SetUp();
        form->sTrackBar1->setValue(80);
        Select({0});
        form->sListView1DblClick();
        ASSERT_TRUE(WaitForOpen());
        ASSERT_TRUE(Playing());
        ASSERT_TRUE(WaitFor([&] { return SoundingWindows(Output()) >= 10; }));
    }
    float Volume() const { return form->Playback.Bass.BASS_GetVolume(); }
    // Frames written to the output so far.
    size_t Written() const { return Output().size(); }
};

} // namespace

TEST_F(Sleep, FadesToSilenceStopsAndSetsTheVolumeBack) {
    constexpr int Minute = 250, Fade = 2000;
    form->Sleep->SetTimeScaleForTesting(Minute, Fade);
    form->SleepItem[1]->trigger(); // 15 minutes: 3.75 s here
    EXPECT_TRUE(form->SleepItem[1]->isChecked());
    EXPECT_EQ(form->StatusPanel(3), "15 min");

    QStringList panels{form->StatusPanel(3)};
    std::vector<float> volumes;
    size_t fadeStart = 0, stopped = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            if (panels.last() != form->StatusPanel(3))
                panels.append(form->StatusPanel(3));
            if (!form->Sleep->Running()) {
                if (!stopped)
                    stopped = Written();
                return true;
            }
            volumes.push_back(Volume());
            if (!fadeStart && Volume() < 0.79f)
                fadeStart = Written();
            return false;
        },
        15000));
    // Counted down a minute at a time, to nothing once it has stopped.
    ASSERT_GE(panels.size(), 3);
    EXPECT_EQ(panels.at(1), "14 min");
    EXPECT_EQ(panels.at(panels.size() - 2), "1 min");
    EXPECT_EQ(panels.last(), "");
    // The volume fell all the way and never rose on the way.
    ASSERT_FALSE(volumes.empty());
    EXPECT_FLOAT_EQ(volumes.front(), 0.8f);
    for (size_t i = 1; i < volumes.size(); ++i)
        EXPECT_LE(volumes[i], volumes[i - 1] + 1e-6f) << i;
    EXPECT_LT(volumes.back(), 0.05f);

    // The station stopped, the volume is the slider's again, and the
    // menu says Off.
    EXPECT_EQ(Active(Channel()), DWORD(BASS_ACTIVE_STOPPED));
    EXPECT_FLOAT_EQ(Volume(), 0.8f);
    EXPECT_EQ(form->sTrackBar1->value(), 80);
    EXPECT_TRUE(form->SleepItem[0]->isChecked());

    // What reached the output grew quieter through the fade.
    ASSERT_GT(fadeStart, size_t(Rate / 2));
    ASSERT_GT(stopped, fadeStart + Rate);
    const std::vector<float> out = Output();
    const double before = Rms(out, fadeStart - Rate / 2, Rate / 5);
    const double middle = Rms(out, (fadeStart + stopped) / 2, Rate / 5);
    const double end = Rms(out, stopped - Rate / 3, Rate / 5);
    EXPECT_GT(before, 0.02);
    EXPECT_LT(middle, before * 0.6);
    EXPECT_LT(end, before * 0.15);

    // The next play is at the usual level.
    form->sListView1DblClick();
    ASSERT_TRUE(WaitForOpen());
    EXPECT_TRUE(Playing());
    EXPECT_FLOAT_EQ(Volume(), 0.8f);
}

TEST_F(Sleep, OffDuringTheFadeSetsTheVolumeBackAtOnceAndPlaysOn) {
    form->Sleep->SetTimeScaleForTesting(100, 3000);
    form->SleepItem[1]->trigger(); // 1.5 s: fading from the start
    ASSERT_TRUE(WaitFor([&] { return Volume() < 0.4f; }, 5000));
    EXPECT_EQ(form->StatusPanel(3), "15 min");
    form->SleepItem[0]->trigger();
    EXPECT_FLOAT_EQ(Volume(), 0.8f);
    EXPECT_EQ(form->StatusPanel(3), "");
    QTest::qWait(300);
    EXPECT_TRUE(Playing());
    EXPECT_FLOAT_EQ(Volume(), 0.8f);
}
