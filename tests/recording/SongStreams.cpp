#include "SongStreams.h"

#include "TsId3Writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace quorane::test {

namespace {

// A command's standard output, its standard error in `errors`.
std::string run(const std::string &command, std::string &errors) {
    char name[] = "/tmp/quorane-rec-errXXXXXX";
    int fd = mkstemp(name);
    if (fd < 0)
        throw std::runtime_error("mkstemp");
    close(fd);
    FILE *p = popen((command + " 2>" + name).c_str(), "r");
    if (!p)
        throw std::runtime_error("cannot run " + command);
    std::string out;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    errors = fileBytes(name);
    unlink(name);
    return out;
}

std::string quoted(const std::string &path) {
    std::string q = "'";
    for (char c : path)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Where each LOAS sync frame of a LATM file starts (1024 samples each).
std::vector<long> latmFrameStarts(const std::string &bytes) {
    std::vector<long> starts;
    for (size_t at = 0; at + 3 <= bytes.size();) {
        auto b = [&](size_t i) { return static_cast<uint8_t>(bytes[at + i]); };
        if (b(0) != 0x56 || (b(1) & 0xE0) != 0xE0) {
            ++at;
            continue;
        }
        starts.push_back(static_cast<long>(at));
        at += 3 + (static_cast<size_t>(b(1) & 0x1F) << 8 | b(2));
    }
    return starts;
}

// Where each MP3 frame of a file starts (1152 samples each).
std::vector<long> mp3FrameStarts(const std::string &bytes) {
    static const int rates[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    std::vector<long> starts;
    size_t at = 0;
    while (at + 4 <= bytes.size()) {
        auto b = [&](size_t i) { return static_cast<uint8_t>(bytes[at + i]); };
        if (b(0) != 0xFF || (b(1) & 0xE0) != 0xE0) {
            ++at;
            continue;
        }
        starts.push_back(static_cast<long>(at));
        at += 144 * rates[b(2) >> 4] * 1000 / 44100 + ((b(2) >> 1) & 1);
    }
    return starts;
}

std::vector<double> titleTimes() {
    std::vector<double> times;
    for (const ScheduledSong &s : songSchedule())
        times.push_back(times.empty() ? 0 : s.start + TitleLateSeconds);
    return times;
}

} // namespace

std::vector<ScheduledSong> songSchedule() {
    std::ifstream in(fixtureAudio("songs.schedule"));
    std::vector<ScheduledSong> songs;
    std::string line;
    double start = 0;
    while (std::getline(in, line)) {
        std::stringstream s(line);
        ScheduledSong song;
        std::string pitch, seconds;
        std::getline(s, pitch, '|');
        std::getline(s, seconds, '|');
        std::getline(s, song.artist, '|');
        std::getline(s, song.title, '|');
        song.pitch = std::stoi(pitch);
        song.toneSeconds = std::stod(seconds);
        song.start = start;
        start += song.toneSeconds + SilenceSeconds;
        songs.push_back(song);
    }
    if (songs.size() != 4)
        throw std::runtime_error("songs.schedule does not list four songs");
    return songs;
}

SongStation::SongStation(Form form) : form_(form) {
    const std::vector<ScheduledSong> songs = songSchedule();
    std::vector<std::string> titles;
    for (const ScheduledSong &s : songs)
        titles.push_back(s.streamTitle());
    if (form == Form::HlsAac || form == Form::HlsFmp4) {
        // A finished live show: all its segments listed, each song's title
        // as timed ID3 where it is due (MPEG-TS) or in the #EXTINF of the
        // segment it is due in (fragmented MP4).
        const bool fmp4 = form == Form::HlsFmp4;
        hls_ = std::make_unique<HlsServer>();
        const std::string dir = fixtureAudio(fmp4 ? "hls-songs-fmp4" : "hls-songs");
        std::ifstream index(dir + "/index.m3u8");
        std::vector<double> durations;
        std::string line;
        while (std::getline(index, line))
            if (line.rfind("#EXTINF:", 0) == 0)
                durations.push_back(std::stod(line.substr(8)));
        const std::vector<double> due = titleTimes();
        std::string playlist = std::string("#EXTM3U\n#EXT-X-VERSION:") + (fmp4 ? "7" : "3") +
                               "\n#EXT-X-TARGETDURATION:3\n#EXT-X-MEDIA-SEQUENCE:0\n"
                               "#EXT-X-PLAYLIST-TYPE:VOD\n";
        if (fmp4) {
            playlist += "#EXT-X-MAP:URI=\"init.mp4\"\n";
            hls_->addFile("/songs/init.mp4", "video/mp4", fileBytes(dir + "/init.mp4"));
        }
        double begin = 0;
        size_t current = 0; // the song whose title the segments carry
        for (size_t i = 0; i < durations.size(); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, fmp4 ? "/seg%03zu.m4s" : "/seg%03zu.ts", i);
            std::string segment = fileBytes(dir + name);
            for (size_t k = 0; k < due.size(); ++k) {
                if (due[k] < begin || due[k] >= begin + durations[i])
                    continue;
                current = k;
                if (!fmp4)
                    segment = TsId3Writer::insert(segment, id3Tag(songs[k].artist, songs[k].title),
                                                  due[k] - begin);
            }
            hls_->addFile(std::string("/songs") + name, fmp4 ? "video/mp4" : "video/mp2t", segment);
            playlist += "#EXTINF:" + std::to_string(durations[i]) + "," +
                        (fmp4 ? songs[current].streamTitle() : "") + "\n" + (name + 1) + "\n";
            begin += durations[i];
        }
        playlist += "#EXT-X-ENDLIST\n";
        hls_->addFile("/songs/index.m3u8", "application/vnd.apple.mpegurl", playlist);
        url_ = hls_->url("/songs/index.m3u8");
        return;
    }
    icy_ = std::make_unique<IcyServer>();
    StreamMount m;
    m.icyName = StationName;
    m.icyBr = "128";
    m.bytesPerSecond = 0; // as fast as the listener takes it
    if (form == Form::IcyMp3 || form == Form::IcyLatm) {
        const bool mp3 = form == Form::IcyMp3;
        m.audioFile = fixtureAudio(mp3 ? "songs.mp3" : "songs.latm");
        m.contentType = mp3 ? "audio/mpeg" : "audio/aacp";
        m.metaint = 2048;
        m.titles = titles;
        // Each title at the frame where it is due.
        const std::string file = fileBytes(m.audioFile);
        const std::vector<long> frames = mp3 ? mp3FrameStarts(file) : latmFrameStarts(file);
        for (double t : titleTimes()) {
            size_t frame = static_cast<size_t>(t * 44100 / (mp3 ? 1152 : 1024));
            m.titleAtBytes.push_back(frames.at(std::min(frame, frames.size() - 1)));
        }
    } else {
        m.audioFile = fixtureAudio(form == Form::OggVorbis ? "songs.ogg" : "songs.opus");
        m.contentType = "audio/ogg";
    }
    icy_->addStream("/songs", m);
    url_ = icy_->url("/songs");
}

std::string SongStation::extension() const {
    switch (form_) {
    case Form::IcyMp3:
        return "mp3";
    case Form::OggVorbis:
        return "ogg";
    case Form::OggOpus:
        return "opus";
    case Form::HlsAac:
        return "aac";
    case Form::IcyLatm:
    case Form::HlsFmp4:
        return "m4a";
    }
    return "";
}

Decoded decodeFile(const std::string &path) {
    Decoded d;
    std::string pcm = run(
        "ffmpeg -nostdin -v error -i " + quoted(path) + " -f f32le -ac 1 -ar 44100 -", d.errors);
    d.mono.resize(pcm.size() / sizeof(float));
    std::copy_n(pcm.data(), d.mono.size() * sizeof(float), reinterpret_cast<char *>(d.mono.data()));
    return d;
}

std::string Probed::tag(const std::string &key) const {
    for (const auto &[k, v] : tags)
        if (k == key)
            return v;
    return "";
}

Probed probeFile(const std::string &path) {
    Probed p;
    std::string out = run("ffprobe -v error -show_entries format=duration:format_tags:stream_tags "
                          "-of default=noprint_wrappers=1 " +
                              quoted(path),
                          p.errors);
    std::stringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        if (key == "duration") {
            p.duration = std::atof(value.c_str());
            continue;
        }
        for (const char *prefix : {"TAG:"})
            if (key.rfind(prefix, 0) == 0)
                key = key.substr(4);
        std::transform(key.begin(), key.end(), key.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        p.tags.emplace_back(key, value);
    }
    return p;
}

std::vector<int> pitchesOf(const Decoded &d) {
    const size_t window = 2205; // 50 ms
    std::vector<int> pitches;
    const std::vector<ScheduledSong> songs = songSchedule();
    for (size_t at = 0; at + window <= d.mono.size(); at += window) {
        double energy = 0;
        for (size_t i = 0; i < window; ++i)
            energy += double(d.mono[at + i]) * d.mono[at + i];
        if (std::sqrt(energy / window) < 0.01) {
            pitches.push_back(0);
            continue;
        }
        // Goertzel's power at each of the schedule's pitches.
        int best = 0;
        double bestPower = -1;
        for (const ScheduledSong &s : songs) {
            double w = 2 * M_PI * s.pitch / 44100, c = 2 * std::cos(w), s1 = 0, s2 = 0;
            for (size_t i = 0; i < window; ++i) {
                double s0 = d.mono[at + i] + c * s1 - s2;
                s2 = s1;
                s1 = s0;
            }
            double power = s1 * s1 + s2 * s2 - c * s1 * s2;
            if (power > bestPower) {
                bestPower = power;
                best = s.pitch;
            }
        }
        pitches.push_back(best);
    }
    return pitches;
}

double rmsBetween(const Decoded &d, double from, double to) {
    size_t a = static_cast<size_t>(std::max(0.0, from) * 44100);
    size_t b = std::min(d.mono.size(), static_cast<size_t>(std::max(0.0, to) * 44100));
    if (b <= a)
        return 0;
    double energy = 0;
    for (size_t i = a; i < b; ++i)
        energy += double(d.mono[i]) * d.mono[i];
    return std::sqrt(energy / double(b - a));
}

} // namespace quorane::test
