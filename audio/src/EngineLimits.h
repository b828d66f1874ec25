// Every time and size bound of the audio engine, in one place, so that a
// blocking call's worst case can be read off here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorane::engine {

// Name lookup, connect and first answer of a stream URL, together
// (BASS_CONFIG_NET_TIMEOUT default).
inline constexpr uint32_t kDefaultNetTimeoutMs = 8000;
// After the answer, the first decoded audio must follow within this time, so
// BASS_StreamCreateURL blocks at most kDefaultNetTimeoutMs + this per URL tried.
inline constexpr uint32_t kFirstAudioTimeoutMs = 5000;
// A playing stream whose server sent nothing for this long has lost its
// connection (a full buffer that holds the download back does not count).
inline constexpr uint32_t kStallMs = 5000;
// Pauses before the reconnect attempts of one outage, in order; the last
// repeats. The list starts over only after sound played this long.
inline constexpr uint32_t kReconnectDelaysMs[] = {500, 1000, 2000, 4000, 8000, 15000};
inline constexpr uint32_t kReconnectResetAfterMs = 30000;
// How long an outage may last before the stream ends for good
// (BASS_CONFIG_NET_RECONNECT_LIMIT default).
inline constexpr uint32_t kDefaultReconnectLimitMs = 300000;
// How often a stream's control thread looks at the output's progress to
// announce what has just become audible.
inline constexpr int kControlTickMs = 20;
// Announcements kept waiting for their place in the stream; beyond this the
// oldest are dropped (a server flooding metadata while nothing plays).
inline constexpr size_t kMaxPendingAnnouncements = 1024;
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
// A playlist of stations larger than this is read as far as this.
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

// HLS: a media playlist larger than this is not one we play. Broadcasters
// with hours of rewind or long tokenised segment addresses pass 64 KiB
// easily (2,000 segments make about 80 KB); this leaves room for tens of
// thousands.
inline constexpr size_t kMaxHlsPlaylistBytes = 4 * 1024 * 1024;
// HLS: a segment or init section larger than this is not one we play.
inline constexpr size_t kMaxHlsSegmentBytes = 8 * 1024 * 1024;
// A live HLS stream starts this many segments before its live edge.
inline constexpr size_t kHlsLiveEdgeSegments = 3;
// A live playlist without a new segment for this many target durations has
// stopped: the connection counts as dropped and the stream reconnects.
inline constexpr int kHlsStallTargets = 3;

} // namespace quorane::engine
