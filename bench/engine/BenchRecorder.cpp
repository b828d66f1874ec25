// bench_engine_recorder URL SECONDS FOLDER: bench_engine's recording child.
// Plays URL for SECONDS with the recorder on the engine's tap, writing into
// FOLDER; prints FIRST_AUDIO_MS= once it plays and SAVED= at the end. A
// program of its own, so that bench_engine's playing child loads no more
// than the engine does.
#include "bass.h"
#include "recording/StreamRecorder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

int recordWithEngine(const char *url, int seconds, const char *folder) {
    if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) {
        std::printf("ERROR=init %d\n", BASS_ErrorGetCode());
        return 1;
    }
    DWORD ch = BASS_StreamCreateURL(url, 0, 0, nullptr, nullptr);
    if (!ch) {
        std::printf("ERROR=open %d\n", BASS_ErrorGetCode());
        return 1;
    }
    StreamRecorder::Settings settings;
    settings.MusicFolder = QString::fromLocal8Bit(folder);
    settings.MinFreeBytes = 0;
    int saved = 0;
    {
        StreamRecorder recorder(settings, [&saved](const SongSplitter::Notice &n) {
            if (n.What == SongSplitter::Notice::Kind::SongSaved)
                ++saved;
        });
        recorder.BeginStream({QStringLiteral("Quorane Bench"),
                              {QStringLiteral("Quorane Bench")},
                              QString::fromLocal8Bit(url)});
        BASS_ChannelPlay(ch, FALSE);
        BASS_ChannelSetTap(ch, &StreamRecorder::TapProc, &recorder);
        std::printf("FIRST_AUDIO_MS=0\n");
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        BASS_ChannelSetTap(ch, nullptr, nullptr);
        recorder.EndStream();
    }
    BASS_Free();
    std::printf("SAVED=%d\n", saved);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s URL SECONDS FOLDER\n", argv[0]);
        return 2;
    }
    return recordWithEngine(argv[1], std::atoi(argv[2]), argv[3]);
}
