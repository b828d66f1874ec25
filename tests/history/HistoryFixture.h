#pragma once
// A real main window with the real engine, playing stations that the ICY
// fixture serves on 127.0.0.1 with titles that change every few hundred
// milliseconds, and its song history as the listener would read it.
#include "shell/MainWindowFixture.h"

#include "fixtures/IcyServer.h"
#include "history/SongHistory.h"
#include "playback/PlaybackState.h"
#include "playback/StreamPlayer.h"

#include <vector>

class HistoryFixture : public MainWindowFixture {
protected:
    // "Local FM" sends a title, the same again, a title with markup
    // characters, then an empty one (the panel falls back to the station's
    // name), over and over, one in each metadata block, so the order in
    // which they are heard is fixed: the first block carries the second
    // of these.
    static std::vector<std::string> LocalTitles() {
        return {"", "Nina Frost - Cold Morning", "Nina Frost - Cold Morning", "Rock & <Roll>"};
    }
    QByteArray StationFile() const override {
        return "Local FM\tA test station\tTest\tHere\tEnglish\t" + Url("/live") + "\t\r\n" +
               "Other FM\tAnother one\tTest\tHere\tEnglish\t" + Url("/other") + "\t\r\n";
    }
    void SetUp() override {
        quorane::test::StreamMount live = Station(" Test FM", LocalTitles());
        live.titleEveryBytes = live.metaint;
        server.addStream("/live", live);
        server.addStream("/other", Station("Other Stream", {"Other - Song", "Other - Next"}));
        MainWindowFixture::SetUp();
        ASSERT_NE(form->History, nullptr);
        ASSERT_NE(form->Playback.AudioLibHandle, nullptr) << "the engine did not start";
    }
    void TearDown() override {
        if (form && form->Playback.AudioLibHandle && form->Playback.Channel)
            form->Playback.Bass.BASS_StreamFree(form->Playback.Channel);
        MainWindowFixture::TearDown();
    }

    QByteArray Url(const char *path) const { return QByteArray::fromStdString(server.url(path)); }
    static quorane::test::StreamMount Station(const std::string &name,
                                              std::vector<std::string> titles) {
        quorane::test::StreamMount m;
        m.audioFile = quorane::test::fixtureAudio("tone440.mp3");
        m.contentType = "audio/mpeg";
        m.shoutcastStatus = true;
        m.icyName = name;
        m.icyBr = "128";
        m.metaint = 8192;
        m.titles = std::move(titles);
        m.titleEveryMs = 350;
        m.bytesPerSecond = 16000;
        return m;
    }

    void PlayRow(int row) {
        Select({row});
        form->sListView1DblClick();
    }
    // The history's titles and stations, oldest first.
    QStringList Titles() const {
        QStringList t;
        for (const SongEntry &e : form->History->Entries())
            t.append(e.title);
        return t;
    }
    QStringList Stations() const {
        QStringList s;
        for (const SongEntry &e : form->History->Entries())
            s.append(e.station);
        return s;
    }
    bool WaitForEntries(qsizetype n, int ms = 20000) {
        return QTest::qWaitFor([&] { return form->History->Entries().size() >= n; }, ms);
    }
    // Stops the stream, so no further title comes.
    void Stop() { form->Stop1Click(); }

    quorane::test::IcyServer server;
};
