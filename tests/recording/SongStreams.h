// The song streams the recorder's tests record (tests/fixtures/
// make-song-streams.sh): their schedule, the servers that play them as a
// station would, and what ffmpeg and ffprobe make of a recorded file.
#pragma once

#include "HlsServer.h"
#include "IcyServer.h"

#include <memory>
#include <string>
#include <vector>

namespace quorane::test {

struct ScheduledSong {
    int pitch = 0;
    double toneSeconds = 0;
    std::string artist, title;
    double start = 0; // where its tone begins in the stream
    std::string streamTitle() const { return artist + " - " + title; }
};

// The four songs, in order; each tone is followed by SilenceSeconds.
std::vector<ScheduledSong> songSchedule();
inline constexpr double SilenceSeconds = 0.3;
// Each song's title is sent this long after its tone begins (the first at 0).
inline constexpr double TitleLateSeconds = 2.0;
inline constexpr const char *StationName = "Quorane Test FM";

// One of the song streams served over 127.0.0.1 as a live station.
class SongStation {
public:
    enum class Form { IcyMp3, OggVorbis, OggOpus, HlsAac, IcyLatm, HlsFmp4 };
    explicit SongStation(Form form);
    std::string url() const { return url_; }
    // The extension the recordings of this form get.
    std::string extension() const;

private:
    Form form_;
    std::unique_ptr<IcyServer> icy_;
    std::unique_ptr<HlsServer> hls_;
    std::string url_;
};

// A recorded file as ffmpeg reads it.
struct Decoded {
    std::string errors;      // what ffmpeg printed at level "error"
    std::vector<float> mono; // the samples, mono, 44.1 kHz
    double seconds() const { return static_cast<double>(mono.size()) / 44100; }
};
Decoded decodeFile(const std::string &path);
// ffprobe's view: "key=value" lines of the format's and streams' tags
// (keys in lower case) and the duration.
struct Probed {
    std::string errors;
    std::vector<std::pair<std::string, std::string>> tags;
    double duration = 0;
    std::string tag(const std::string &key) const;
};
Probed probeFile(const std::string &path);

// For each 50 ms window louder than a faint level, the schedule's pitch
// that dominates it (0 for quiet windows).
std::vector<int> pitchesOf(const Decoded &d);
// The root-mean-square level of samples [from, to) in seconds.
double rmsBetween(const Decoded &d, double from, double to);

} // namespace quorane::test
