#pragma once
// PlaybackState: the player's playback values and its road into the audio
// engine, in one object that the main window owns and hands to whoever needs
// it (the stream player, the title handling, the proxy setting). The values
// belong to the UI thread: the engine's threads and the open worker never
// read or write them (the engine's notifications are handed over to the UI
// thread before anything here is touched). The inherited loader and table
// are described in Dynamic_Bass.h.
#include "bass.h"
#include "playback/Dynamic_Bass.h"

#include <QByteArray>

class PlaybackState : public DynamicBass {
public:
    // The current stream's handle; 0 when there is none, also while a new
    // stream is being opened. UI thread.
    DWORD Channel = 0;
    // The URL being played or last tried, 8-bit text in the code page. UI
    // thread.
    QByteArray CurrentUrl;
    // The station name from the stream's "icy-name:" header; empty when
    // none. UI thread.
    QByteArray IcyName;
    // The "icy-br:" header's value followed by "k"; empty when none. UI
    // thread.
    QByteArray IcyBitrate;
    // Bytes of metadata received with a stream title, over every stream
    // played in this run. UI thread.
    qint64 MetaBytes = 0;
};
