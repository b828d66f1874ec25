#pragma once
// A real main window with the real engine whose output goes to SDL's disk
// driver, so a test can tell what reached the sound device, and stations
// served by a real ICY server on 127.0.0.1.
#include "MainWindowFixture.h"
#include "fixtures/IcyServer.h"
#include "playback/StreamPlayer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

class PlaybackFixture : public MainWindowFixture {
protected:
    static constexpr int Rate = 44100;

    void SetUp() override {
        ASSERT_TRUE(outputDir.isValid());
        const char *old = std::getenv("SDL_AUDIODRIVER");
        oldDriver = old ? old : "";
        // The engine opens its output when the window starts it.
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", QFile::encodeName(OutputPath()).constData(), 1);
        MainWindowFixture::SetUp();
        ASSERT_NE(form->Playback.AudioLibHandle, nullptr) << "the engine did not start";
        for (auto &[option, value] : settings)
            value = form->Playback.Bass.BASS_GetConfig(option);
    }
    void TearDown() override {
        // The engine is never unmapped, so the next test's window finds it
        // as this one leaves it: what a test changed is put back.
        if (form && form->Playback.AudioLibHandle)
            for (const auto &[option, value] : settings)
                form->Playback.Bass.BASS_SetConfig(option, value);
        MainWindowFixture::TearDown();
        if (oldDriver.empty())
            unsetenv("SDL_AUDIODRIVER");
        else
            setenv("SDL_AUDIODRIVER", oldDriver.c_str(), 1);
        unsetenv("SDL_DISKAUDIOFILE");
    }

    QString OutputPath() const { return outputDir.filePath("output.raw"); }
    // The left channel of every stereo float frame written to the output.
    std::vector<float> Output() const {
        QFile f(OutputPath());
        std::vector<float> left;
        if (!f.open(QIODevice::ReadOnly))
            return left;
        const QByteArray all = f.readAll();
        const float *frames = reinterpret_cast<const float *>(all.constData());
        for (qsizetype i = 0; i + 1 < all.size() / qsizetype(sizeof(float)); i += 2)
            left.push_back(frames[i]);
        return left;
    }
    // 50 ms windows of the output from `from` (in frames) on that hold sound.
    static int SoundingWindows(const std::vector<float> &s, size_t from = 0) {
        int n = 0;
        for (size_t at = from; at + Rate / 20 <= s.size(); at += Rate / 20)
            n += Rms(s, at, Rate / 20) > 0.01;
        return n;
    }
    static double Rms(const std::vector<float> &s, size_t from, size_t n) {
        double sum = 0;
        for (size_t i = from; i < from + n; ++i)
            sum += double(s[i]) * s[i];
        return std::sqrt(sum / double(n));
    }
    // Frequency from the rising zero crossings of a window.
    static double Pitch(const std::vector<float> &s, size_t from, size_t n) {
        int rising = 0;
        for (size_t i = from + 1; i < from + n; ++i)
            rising += s[i - 1] < 0 && s[i] >= 0;
        return rising * double(Rate) / double(n);
    }

    // Lets the window run until `done` holds or `ms` pass.
    static bool WaitFor(const std::function<bool()> &done, int ms = 10000) {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < ms)
            QTest::qWait(10);
        return done();
    }
    // Until the pending open has ended (played or failed).
    bool WaitForOpen(int ms = 20000) {
        return WaitFor([&] { return !form->Player->Connecting(); }, ms);
    }
    DWORD Channel() const { return form->Playback.Channel; }
    DWORD Active(DWORD channel) const { return form->Playback.Bass.BASS_ChannelIsActive(channel); }
    bool Playing() const { return Channel() != 0 && Active(Channel()) == BASS_ACTIVE_PLAYING; }

    static quorane::test::StreamMount Mp3Station(const char *sample = "tone440.mp3") {
        quorane::test::StreamMount m;
        m.audioFile = quorane::test::fixtureAudio(sample);
        m.contentType = "audio/mpeg";
        m.shoutcastStatus = true;
        m.icyName = " Test FM";
        m.icyBr = "128";
        m.metaint = 8192;
        m.titles = {"Artist - First", "Artist - Second"};
        m.titleEveryMs = 400;
        m.bytesPerSecond = 16000;
        return m;
    }

    // The engine's settings a test may change, with their values at the start.
    std::vector<std::pair<DWORD, DWORD>> settings = {{BASS_CONFIG_NET_TIMEOUT, 0},
                                                     {BASS_CONFIG_NET_BUFFER, 0},
                                                     {BASS_CONFIG_NET_RECONNECT_LIMIT, 0}};
    QTemporaryDir outputDir;
    std::string oldDriver;
    quorane::test::IcyServer server;
};
