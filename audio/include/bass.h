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

/* Called on an engine thread once for each event the sync was set for. */
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
#define BASS_ERROR_UNKNOWN -1

/* BASS_SetConfig / BASS_SetConfigPtr options. */
#define BASS_CONFIG_NET_TIMEOUT 11  /* connect and first-answer limit in ms (default 10000) */
#define BASS_CONFIG_NET_BUFFER 12   /* download buffer length in ms (default 5000) */
#define BASS_CONFIG_NET_PROXY 17    /* BASS_SetConfigPtr: "[login:password]@host:port", "" = none */
#define BASS_CONFIG_NET_PLAYLIST 21 /* 0 = never follow playlists, >0 = follow them */

/* BASS_StreamGetFilePosition modes. */
#define BASS_FILEPOS_CURRENT 0  /* bytes the decoder has consumed */
#define BASS_FILEPOS_DOWNLOAD 1 /* bytes downloaded */
#define BASS_FILEPOS_END 2      /* download buffer size (or Content-Length) */

/* BASS_ChannelGetTags kinds. */
/* header lines of an HTTP/1.x answer, each NUL-ended, list ends with "" */
#define BASS_TAG_HTTP 3
#define BASS_TAG_ICY 4  /* header lines of an "ICY 200 OK" answer, same form */
#define BASS_TAG_META 5 /* latest metadata block "StreamTitle='...';..." NUL-ended */

/* BASS_ChannelSetSync types. */
#define BASS_SYNC_META 4 /* a new metadata block arrived */

/* BASS_ChannelIsActive results. */
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
