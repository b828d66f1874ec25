#pragma once
// ApplyProxy: how the proxy text of the proxy dialog reaches the audio
// engine. The text is handed over as typed, in the 8-bit code page, and the
// engine uses it for every stream connection opened afterwards; a stream
// already playing keeps its connection. Nothing here parses the text: the
// engine alone decides what "[login:password]@host:port" means. UI thread
// only, like the engine's entry-point table.
#include "playback/Dynamic_Bass.h"

#include <QByteArray>
#include <QString>

// The longest proxy text, in 8-bit bytes, that the engine is handed. The
// player has always given the engine at most this much; a longer text is
// kept whole in the dialog and the settings file, and cut when handed over.
inline constexpr int MaxProxyBytes = 99;

// The proxy text as the engine receives it: converted to the 8-bit code
// page (characters the page cannot hold become "?") and cut to at most
// MaxProxyBytes bytes, never inside a character, so that the engine is
// never handed half of a multi-byte sequence.
QByteArray ProxyForEngine(const QString &text);

// Hands `text` to `engine` (the playback object's) for the streams opened from now on; an empty
// text means direct connections. Does nothing while the engine is not
// loaded. The engine's answer is not looked at: a text it cannot use shows
// no message, and opening a stream through it fails instead.
void ApplyProxy(DynamicBass &engine, const QString &text);
