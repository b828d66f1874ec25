/* Quorane audio engine: C interface.
 *
 * The engine is a shared library (Plugins/libbass.so) that the player loads at
 * run time and reaches only through the entry points listed in
 * bass_entrypoints.h. Handles are 32-bit numbers, 0 meaning none. Every call
 * sets the calling thread's error code, read back with BASS_ErrorGetCode().
 */
#ifndef QUORANE_BASS_H
#define QUORANE_BASS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t DWORD;
typedef uint64_t QWORD;
typedef int BOOL;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

/* Called on an engine thread of the stream (never the output's thread) once
 * for each event the sync was set for, with no engine lock held, so it may
 * call back into the engine. None is called once BASS_StreamFree (or
 * BASS_Free) for its stream has returned. */
typedef void SYNCPROC(DWORD handle, DWORD channel, DWORD data, void *user);
/* Receives the raw bytes of a download as they arrive (may be null). */
typedef void DOWNLOADPROC(const void *buffer, DWORD length, void *user);

/* Version in the upper 16 bits: major 2, minor 4. */
#define BASS_VERSION 0x0204
#define BASS_VERSION_FULL 0x02040001u

/* Error codes (BASS_ErrorGetCode). */
#define BASS_OK 0
#define BASS_ERROR_MEM 1       /* out of memory */
#define BASS_ERROR_FILEOPEN 2  /* the URL could not be opened (connect, HTTP status) */
#define BASS_ERROR_DRIVER 3    /* no output could be opened */
#define BASS_ERROR_HANDLE 5    /* not a valid handle */
#define BASS_ERROR_FORMAT 6    /* the stream's format is not supported */
#define BASS_ERROR_INIT 8      /* BASS_Init has not been called */
#define BASS_ERROR_ALREADY 14  /* already initialised */
#define BASS_ERROR_ILLPARAM 20 /* an argument is out of range */
#define BASS_ERROR_NOTAVAIL 37 /* this entry point is not available in Quorane's engine */
#define BASS_ERROR_TIMEOUT 40  /* the server did not answer in time */
#define BASS_ERROR_FILEFORM 41 /* unsupported protocol or bad URL */
#define BASS_ERROR_NONET 32    /* network failure (refused, reset, name lookup) */
#define BASS_ERROR_ENDED 45    /* the stream ended before its first audio */
/* Quorane's own codes, above the range of the common ones. */
#define BASS_ERROR_TLS                                                                             \
    1001                          /* TLS failed: certificate refused (unknown authority, expired,  \
                                     wrong host name) or no TLS handshake with the server */
#define BASS_ERROR_ENCRYPTED 1002 /* an HLS stream whose segments are encrypted (AES-128) */
#define BASS_ERROR_UNKNOWN -1

/* BASS_SetConfig / BASS_SetConfigPtr options. */
#define BASS_CONFIG_NET_TIMEOUT 11  /* answer limit in ms, name lookup included (default 8000) */
#define BASS_CONFIG_NET_BUFFER 12   /* download buffer length in ms (default 5000) */
#define BASS_CONFIG_NET_PROXY 17    /* BASS_SetConfigPtr: "[login:password]@host:port", "" = none */
#define BASS_CONFIG_NET_PLAYLIST 21 /* 0 = never follow playlists, >0 = follow them */
/* Quorane's own option: how long, in ms, a stream that lost its connection
 * goes on reconnecting before it ends (default 300000, five minutes). The
 * attempts follow one another after 0.5, 1, 2, 4, 8, 15, 15, ... s whatever
 * the limit; tests shorten the limit so that "down for good" ends quickly.
 * Applies to streams opened after the call. */
#define BASS_CONFIG_NET_RECONNECT_LIMIT 0x10000
/* BASS_SetConfigPtr: path of a PEM file of further certificate authorities
 * trusted for HTTPS besides the system's store; null or "" = none. Quorane's
 * own option, for tests with a certificate authority of their own: the
 * player never sets it. */
#define BASS_CONFIG_NET_CAFILE 0x10001

/* BASS_StreamGetFilePosition modes. */
#define BASS_FILEPOS_CURRENT 0  /* bytes the decoder has consumed */
#define BASS_FILEPOS_DOWNLOAD 1 /* bytes downloaded */
#define BASS_FILEPOS_END 2      /* download buffer size (or Content-Length) */

/* BASS_ChannelGetTags kinds. */
/* header lines of an HTTP/1.x answer, each NUL-ended, list ends with "" */
#define BASS_TAG_HTTP 3
#define BASS_TAG_ICY 4 /* header lines of an "ICY 200 OK" answer, same form */
/* The metadata block last announced to BASS_SYNC_META ("StreamTitle='...';...",
 * NUL-ended), null before the first announcement. Inside a BASS_SYNC_META
 * callback it is the block being announced; the pointer stays valid until a
 * few further blocks have been announced, so a caller copies the bytes. */
#define BASS_TAG_META 5

/* BASS_ChannelSetSync types, each registered with
 * BASS_ChannelSetSync(handle, type, 0, proc, user).
 *
 * BASS_SYNC_META: a metadata block (an ICY block, or the comment header of an
 * Ogg/Opus/FLAC section, given as "StreamTitle='ARTIST - TITLE';") is
 * announced when playback reaches the place in the stream where it arrived,
 * not when it was downloaded; so the title current at tune-in reaches a sync
 * registered after BASS_StreamCreateURL returned. Blocks are announced once
 * each, in order; data is 0.
 *
 * BASS_SYNC_STALL: data = 1 when a playing stream lost its connection (closed,
 * failed, or nothing for 5 s) and the engine starts reconnecting to the same
 * URL; data = 0 when sound from the new connection plays.
 *
 * BASS_SYNC_END: called once when the stream has ended for good: data = 0
 * when a stream of known length played to its end (no failure: nothing more
 * was to come), data = 1 when the reconnect attempts ran out of time
 * (BASS_CONFIG_NET_RECONNECT_LIMIT). BASS_ChannelStop ends the attempts
 * without it: a stopped stream never reconnects. */
#define BASS_SYNC_META 4
#define BASS_SYNC_END 2
#define BASS_SYNC_STALL 6

/* BASS_ChannelIsActive results: STALLED while reconnecting or while the
 * decoded audio has run dry, STOPPED after BASS_ChannelStop or the end. */
#define BASS_ACTIVE_STOPPED 0
#define BASS_ACTIVE_PLAYING 1
#define BASS_ACTIVE_STALLED 2
#define BASS_ACTIVE_PAUSED 3

#if defined(QUORANE_BASS_BUILDING)
#define QUORANE_BASS_API __attribute__((visibility("default")))
#else
#define QUORANE_BASS_API
#endif

#define QUORANE_BASS_ENTRY(ret, name, params, fail, implemented) QUORANE_BASS_API ret name params;
#include "bass_entrypoints.h"
#undef QUORANE_BASS_ENTRY

#ifdef __cplusplus
}
#endif

#endif /* QUORANE_BASS_H */
