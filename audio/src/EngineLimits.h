// Every time and size bound of the audio engine, in one place, so that a
// blocking call's worst case can be read off here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorane::engine {

// Connect and first answer of a stream URL (BASS_CONFIG_NET_TIMEOUT default).
inline constexpr uint32_t kDefaultNetTimeoutMs = 10000;
// After the answer, the first decoded audio must follow within this time, so
// BASS_StreamCreateURL blocks at most kDefaultNetTimeoutMs + this per URL tried.
inline constexpr uint32_t kFirstAudioTimeoutMs = 8000;
// The whole of one BASS_StreamCreateURL, playlists with several entries
// included, never takes longer than this.
inline constexpr uint32_t kMaxOpenMs = 30000;
// Download buffer length in milliseconds of the stream (BASS_CONFIG_NET_BUFFER).
inline constexpr uint32_t kDefaultNetBufferMs = 5000;
// The download buffer never gets smaller than this, whatever the bitrate.
inline constexpr size_t kMinDownloadBuffer = 64 * 1024;
// A stream with a Content-Length is buffered whole up to this size.
inline constexpr size_t kMaxDownloadBuffer = 16 * 1024 * 1024;
// Bitrate assumed when the server announces none ("icy-br:").
inline constexpr uint32_t kAssumedKbps = 128;
// Redirects followed per request, and playlists nested inside playlists.
inline constexpr long kMaxRedirects = 5;
inline constexpr int kMaxPlaylistDepth = 5;
// A playlist body larger than this is not a playlist we read.
inline constexpr size_t kMaxPlaylistBytes = 64 * 1024;
// Bytes looked at to recognise a playlist served with a vague Content-Type.
inline constexpr size_t kPlaylistSniffBytes = 16;
// Decoded audio kept ready per stream, in milliseconds of output.
inline constexpr uint32_t kPcmBufferMs = 750;
// Decoded audio prepared before playback starts: enough to start without a
// gap, little enough that the download buffer fills fast.
inline constexpr uint32_t kPrefillMs = 200;
// Bytes FFmpeg may read to recognise a stream of unknown Content-Type.
inline constexpr int kProbeBytes = 32 * 1024;
// Chunk size of the reads FFmpeg makes from the download buffer.
inline constexpr int kAvioChunk = 4 * 1024;
// Frames per output callback.
inline constexpr uint16_t kOutputFrames = 2048;
// How long a waiting download or decode thread sleeps at most before it looks
// at its abort flag again (it is also woken at once by a condition variable).
inline constexpr int kIdlePollMs = 100;

// HLS: a segment or init section larger than this is not one we play.
inline constexpr size_t kMaxHlsSegmentBytes = 8 * 1024 * 1024;
// A live HLS stream starts this many segments before its live edge.
inline constexpr size_t kHlsLiveEdgeSegments = 3;
// A live playlist without a new segment for this many target durations has
// stopped: the stream counts as dropped and the source reconnects.
inline constexpr int kHlsStallTargets = 3;
// Waits between the attempts to get a dropped HLS stream back, the last one
// repeated, and how long the attempts go on before the stream ends.
inline constexpr int kHlsRetryDelaysMs[] = {500, 1000, 2000, 4000, 8000, 15000};
inline constexpr int kHlsRetryLimitMs = 5 * 60 * 1000;

} // namespace quorane::engine
