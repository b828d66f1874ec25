#include "RecorderTestSupport.h"

#include "SongStreams.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <thread>

namespace quorane::test {

namespace {

void collect(const QString &folder, const QString &prefix, std::vector<std::string> &files) {
    for (const QFileInfo &f : QDir(folder).entryInfoList(QDir::Files | QDir::Dirs |
                                                         QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (f.isDir())
            collect(f.filePath(), prefix + f.fileName() + '/', files);
        else
            files.push_back((prefix + f.fileName()).toStdString());
    }
}

} // namespace

FastEngine::FastEngine() {
    BASS_SetConfig(BASS_CONFIG_SILENT_SPEED, Speed);
    ok_ = BASS_Init(0, 44100, 0, nullptr, nullptr) == TRUE;
}

FastEngine::~FastEngine() {
    if (ok_)
        BASS_Free();
    BASS_SetConfig(BASS_CONFIG_SILENT_SPEED, 1);
}

SongSplitter::Listener Notices::listener() {
    return [this](const SongSplitter::Notice &n) {
        std::lock_guard lock(mutex_);
        all_.push_back(n);
    };
}

std::vector<SongSplitter::Notice> Notices::get() {
    std::lock_guard lock(mutex_);
    return all_;
}

std::string Notices::text() {
    static const char *const kinds[] = {"started", "saved", "dropped", "stopped"};
    std::string out;
    for (const SongSplitter::Notice &n : get())
        out += std::string(kinds[int(n.What)]) + " \"" + n.Title.toStdString() + "\" " +
               n.Path.toStdString() + " " + n.Reason.toStdString() + "\n";
    return out;
}

DWORD recordStation(StreamRecorder &recorder, const std::string &url) {
    const DWORD ch = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
    if (ch == 0)
        return 0;
    recorder.BeginStream({StationName, {StationName}, QString::fromStdString(url)});
    BASS_ChannelPlay(ch, FALSE);
    // The tap hands over the stream from its first byte all the same.
    BASS_ChannelSetTap(ch, &StreamRecorder::TapProc, &recorder);
    return ch;
}

void stopRecording(StreamRecorder &recorder, DWORD stream) {
    BASS_ChannelSetTap(stream, nullptr, nullptr);
    recorder.EndStream();
    recorder.WaitIdle();
    BASS_StreamFree(stream);
}

bool waitFor(const std::function<bool()> &done, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::vector<std::string> filesUnder(const QString &folder) {
    std::vector<std::string> files;
    collect(folder, QString(), files);
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace quorane::test
