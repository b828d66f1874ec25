// StartAudio / StopAudio: the order and arguments of the start-up calls, the
// version gate, and what happens when the engine is absent or incomplete.
#include "BuildPaths.h"
#include "FakeEngines.h"

#include "platform/CodePage.h"
#include "playback/AudioStartup.h"

#include <QDir>
#include <cstdlib>

namespace {

// The add-ons' file names in load order, as they lie in the Plugins folder.
const QStringList kAddOns = {
    "libbasswma.so",  "libbassflac.so",  "libbasswv.so",   "libbassmix.so",  "libbasscd.so",
    "libbassenc.so",  "libbass_aac.so",  "libbass_ac3.so", "libbass_adx.so", "libbass_alac.so",
    "libbass_ape.so", "libbass_mpc.so",  "libbass_ofr.so", "libbass_spx.so", "libbass_tags.so",
    "libbass_tta.so", "libbass_wadsp.so"};

class AudioStartup : public EngineTest {
protected:
    // An application folder whose plug-in folder is spelt "PlugIns" on disk,
    // holding the given engine and two of the seventeen add-ons. Returns the
    // folder with its trailing "/".
    QString makeAppDir(const QString &name, const char *engineFile) {
        const QString app = dir.filePath(name) + "/";
        EXPECT_TRUE(QDir().mkpath(app + "PlugIns"));
        if (engineFile) {
            EXPECT_TRUE(QFile::copy(engineFile, app + "PlugIns/libbass.so"));
        }
        for (const char *addOn : {"libbassflac.so", "libbass_tags.so"}) {
            QFile f(app + "PlugIns/" + addOn);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        }
        return app;
    }

    std::array<DWORD, 17> handles;

    void SetUp() override {
        EngineTest::SetUp();
        handles.fill(0xDEAD);
    }
};

bool allZero(const std::array<DWORD, 17> &h) {
    return std::all_of(h.begin(), h.end(), [](DWORD v) { return v == 0; });
}

} // namespace

TEST_F(AudioStartup, RunsTheStartUpCallsInOrderAndTheShutdownFreesTwice) {
    const QString app = makeAppDir("app", quorane::test::BuildPath("FAKE_ENGINE_COMPLETE"));
    int owner = 0;
    const AudioStartResult r = StartAudio(engine, app, &owner, handles);
    ASSERT_EQ(r.outcome, AudioStartResult::Started) << r.reason.toStdString();
    EXPECT_EQ(r.version, 0x02040010u);

    QList<QByteArray> expected = {
        "BASS_GetVersion",
        "BASS_Init -1 44100 0 " + QByteArray::number(quintptr(&owner), 16).prepend("0x") + " (nil)",
        "BASS_SetConfig 21 2"};
    for (const QString &addOn : kAddOns)
        expected.append("BASS_PluginLoad " + QFile::encodeName(app + "PlugIns/" + addOn) + " 0");
    EXPECT_EQ(calls(), expected);

    for (size_t i = 0; i < handles.size(); ++i) {
        const bool present =
            kAddOns[int(i)] == "libbassflac.so" || kAddOns[int(i)] == "libbass_tags.so";
        EXPECT_EQ(handles[i] != 0, present) << kAddOns[int(i)].toStdString();
    }

    StopAudio(engine);
    EXPECT_EQ(engine.AudioLibHandle, nullptr);
    EXPECT_EQ(calls().mid(expected.size()), (QList<QByteArray>{"BASS_Free", "BASS_Free"}));
    StopAudio(engine); // nothing loaded: nothing called
    EXPECT_EQ(calls().size(), expected.size() + 2);
}

TEST_F(AudioStartup, OnlyVersionTwoPointFourPassesTheGate) {
    struct Case {
        const char *engine;
        DWORD version;
        AudioStartResult::Outcome outcome;
    };
    for (const Case &c : {Case{quorane::test::BuildPath("FAKE_ENGINE_V203"), 0x0203FFFFu,
                               AudioStartResult::WrongVersion},
                          Case{quorane::test::BuildPath("FAKE_ENGINE_V205"), 0x02050000u,
                               AudioStartResult::WrongVersion},
                          Case{quorane::test::BuildPath("FAKE_ENGINE_COMPLETE"), 0x02040010u,
                               AudioStartResult::Started}}) {
        QFile::remove(logPath);
        const QString app = makeAppDir(QString::number(c.version, 16), c.engine);
        const AudioStartResult r = StartAudio(engine, app, nullptr, handles);
        EXPECT_EQ(r.outcome, c.outcome) << std::hex << c.version;
        EXPECT_EQ(r.version, c.version);
        if (c.outcome == AudioStartResult::WrongVersion) {
            // Nothing after the check: no output opened, no add-on loaded.
            EXPECT_EQ(calls(), QList<QByteArray>{"BASS_GetVersion"});
            EXPECT_TRUE(allZero(handles));
        } else {
            EXPECT_EQ(calls().size(), 3 + 17);
        }
        engine.UnloadAudioLibrary();
    }
}

TEST_F(AudioStartup, AnAbsentOrIncompleteEngineIsReportedAndNeverCalled) {
    const QString empty = makeAppDir("empty", nullptr);
    AudioStartResult r = StartAudio(engine, empty, nullptr, handles);
    EXPECT_EQ(r.outcome, AudioStartResult::NotLoaded);
    EXPECT_TRUE(r.reason.contains("No such file")) << r.reason.toStdString();
    EXPECT_TRUE(allZero(handles));

    handles.fill(0xDEAD);
    const QString incomplete =
        makeAppDir("incomplete", quorane::test::BuildPath("FAKE_ENGINE_NOLAST"));
    r = StartAudio(engine, incomplete, nullptr, handles);
    EXPECT_EQ(r.outcome, AudioStartResult::NotLoaded);
    EXPECT_EQ(r.reason, "missing entry point BASS_FXReset");
    EXPECT_TRUE(allZero(handles));
    EXPECT_EQ(engine.AudioLibHandle, nullptr);
    EXPECT_EQ(calls(), QList<QByteArray>{});
}

TEST_F(AudioStartup, AddOnPathsReachTheEngineInTheAnsiCodePage) {
    ASSERT_TRUE(CodePage::SetForTesting("windows-1252"));
    const QString app = makeAppDir(QString::fromUtf8("R\xc3\xa4ume"),
                                   quorane::test::BuildPath("FAKE_ENGINE_COMPLETE"));
    const AudioStartResult r = StartAudio(engine, app, nullptr, handles);
    CodePage::SetForTesting("");
    ASSERT_EQ(r.outcome, AudioStartResult::Started) << r.reason.toStdString();
    const QList<QByteArray> log = calls();
    ASSERT_EQ(log.size(), 3 + 17);
    const QByteArray latin1 =
        "BASS_PluginLoad " + (app + "PlugIns/libbasswma.so").toLatin1() + " 0";
    EXPECT_EQ(log[3], latin1);
    EXPECT_TRUE(log[3].contains("R\xe4ume"));
}

TEST_F(AudioStartup, TheRealEngineInTheApplicationFolderStartsAndStops) {
    if (!std::getenv("SDL_AUDIODRIVER"))
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    const AudioStartResult r =
        StartAudio(engine, QString::fromLocal8Bit(quorane::test::BuildPath("QUORANE_APPDIR")) + "/",
                   nullptr, handles);
    ASSERT_EQ(r.outcome, AudioStartResult::Started) << r.reason.toStdString();
    EXPECT_EQ(r.version >> 16, 0x0204u);
    EXPECT_TRUE(allZero(handles)) << "the application folder has no add-ons";
    StopAudio(engine);
    EXPECT_EQ(engine.AudioLibHandle, nullptr);

    // And by the build's own path, as the loader tests load their stand-ins.
    ASSERT_TRUE(engine.LoadAudioLibrary(quorane::test::BuildPath("REAL_ENGINE")))
        << engine.AudioLibraryError().toStdString();
    EXPECT_EQ(engine.Bass.BASS_GetVersion() >> 16, 0x0204u);
}
