// LoadAudioLibrary / UnloadAudioLibrary: all or nothing, idempotent, and never
// a call into a library that is not loaded.
#include "BuildPaths.h"
#include "FakeEngines.h"

#include "platform/LibraryNames.h"

#include <cstring>
#include <dlfcn.h>

namespace {

// How many table entries are set.
int filledEntries(const BassEntryPoints &table) {
    int n = 0;
#define QUORANE_BASS_ENTRY(ret, name, params, fail, implemented) n += table.name != nullptr;
#include "bass_entrypoints.h"
#undef QUORANE_BASS_ENTRY
    return n;
}

// True while the file is mapped into the process.
bool stillMapped(const char *path) {
    void *h = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (h)
        dlclose(h);
    return h != nullptr;
}

} // namespace

using Loader = EngineTest;

TEST_F(Loader, CompleteLibraryFillsTheWholeTableAndASecondLoadChangesNothing) {
    ASSERT_TRUE(engine.LoadAudioLibrary(quorane::test::BuildPath("FAKE_ENGINE_COMPLETE")))
        << engine.AudioLibraryError().toStdString();
    EXPECT_NE(engine.AudioLibHandle, nullptr);
    EXPECT_EQ(filledEntries(engine.Bass), 98);
    EXPECT_EQ(BassEntryPointCount, 98);
    EXPECT_TRUE(engine.AudioLibraryError().isEmpty());
    EXPECT_EQ(engine.Bass.BASS_GetVersion(), 0x02040010u);
    EXPECT_EQ(engine.Bass.BASS_GetVersion, reinterpret_cast<decltype(engine.Bass.BASS_GetVersion)>(
                                               dlsym(engine.AudioLibHandle, "BASS_GetVersion")));

    void *const handle = engine.AudioLibHandle;
    const BassEntryPoints before = engine.Bass;
    EXPECT_TRUE(engine.LoadAudioLibrary(quorane::test::BuildPath("FAKE_ENGINE_V203")))
        << "loaded already: true, nothing looked up";
    EXPECT_EQ(engine.AudioLibHandle, handle);
    EXPECT_EQ(std::memcmp(&before, &engine.Bass, sizeof engine.Bass), 0);
    EXPECT_EQ(engine.Bass.BASS_GetVersion(), 0x02040010u);
    EXPECT_FALSE(stillMapped(quorane::test::BuildPath("FAKE_ENGINE_V203")));

    engine.UnloadAudioLibrary();
    EXPECT_EQ(engine.AudioLibHandle, nullptr);
    EXPECT_EQ(filledEntries(engine.Bass), 0);
    EXPECT_FALSE(stillMapped(quorane::test::BuildPath("FAKE_ENGINE_COMPLETE")));
    EXPECT_EQ(calls(), (QList<QByteArray>{"BASS_GetVersion", "BASS_GetVersion", "BASS_Free"}));

    // Nothing loaded: unloading again calls nothing.
    engine.UnloadAudioLibrary();
    EXPECT_EQ(engine.AudioLibHandle, nullptr);
    EXPECT_EQ(calls().size(), 3);
}

TEST_F(Loader, ALibraryMissingTheFirstOrTheLastEntryPointIsRefusedAndUnloaded) {
    for (const auto &[path, name] :
         {std::pair{quorane::test::BuildPath("FAKE_ENGINE_NOFIRST"), "BASS_SetConfig"},
          std::pair{quorane::test::BuildPath("FAKE_ENGINE_NOLAST"), "BASS_FXReset"}}) {
        EXPECT_FALSE(engine.LoadAudioLibrary(path)) << name;
        EXPECT_EQ(engine.AudioLibHandle, nullptr);
        EXPECT_EQ(filledEntries(engine.Bass), 0) << name;
        EXPECT_EQ(engine.AudioLibraryError(), QStringLiteral("missing entry point ") + name);
        EXPECT_FALSE(stillMapped(path)) << name;
    }
    // A refused library leaves nothing behind that would stop a good one.
    EXPECT_TRUE(engine.LoadAudioLibrary(quorane::test::BuildPath("FAKE_ENGINE_COMPLETE")));
    EXPECT_TRUE(engine.AudioLibraryError().isEmpty());
    EXPECT_EQ(calls(), QList<QByteArray>{}) << "a refused library is never called";
}

TEST_F(Loader, MissingAndDamagedFilesFailWithTheLoadersReason) {
    const QString missing = dir.filePath("Plugins/libbass.so");
    EXPECT_FALSE(engine.LoadAudioLibrary(missing));
    EXPECT_EQ(engine.AudioLibHandle, nullptr);
    EXPECT_TRUE(engine.AudioLibraryError().contains("No such file"))
        << engine.AudioLibraryError().toStdString();

    QFile text(dir.filePath("libbass.so"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("This is a text file, not a library.\n");
    text.close();
    EXPECT_FALSE(engine.LoadAudioLibrary(text.fileName()));
    EXPECT_EQ(engine.AudioLibHandle, nullptr);
    EXPECT_FALSE(engine.AudioLibraryError().isEmpty());
    EXPECT_FALSE(engine.AudioLibraryError().contains("No such file"))
        << engine.AudioLibraryError().toStdString();
    EXPECT_EQ(filledEntries(engine.Bass), 0);
}

TEST_F(Loader, AnEmptyPathFindsTheEngineOnTheLoadersSearchPath) {
    // The test program's run path holds a stand-in under the engine's name.
    ASSERT_TRUE(engine.LoadAudioLibrary(QString())) << engine.AudioLibraryError().toStdString();
    EXPECT_EQ(engine.Bass.BASS_GetVersion(), 0x0204ABCDu);
}

TEST(LibraryNames, WindowsNamesMapToSharedObjectNames) {
    EXPECT_EQ(LibraryNames::EngineFileName(), "libbass.so");
    EXPECT_EQ(LibraryNames::ToPlatform("basswma.dll"), "libbasswma.so");
    EXPECT_EQ(LibraryNames::ToPlatform("bass_aac.DLL"), "libbass_aac.so");
    EXPECT_EQ(LibraryNames::ToPlatform("libbass.so"), "libbass.so");
    EXPECT_EQ(LibraryNames::ToPlatform(".dll"), ".dll");
}
