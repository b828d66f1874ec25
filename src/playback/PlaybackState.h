#pragma once
// The player's program-wide values. They live from start-up to the end of
// the process and belong to the UI thread: the engine's threads never read
// or write them (its metadata notification is handed over to the UI thread
// before anything here is touched).
#include "bass.h"

#include <QByteArray>

// The current stream's handle; 0 when there is none.
extern DWORD Channel;
// The URL being played or last tried, 8-bit text in the code page.
extern QByteArray CurrentUrl;
// The station name from the stream's "icy-name:" header; empty when none.
extern QByteArray IcyName;
// The "icy-br:" header's value followed by "k"; empty when none.
extern QByteArray IcyBitrate;
// Bytes of metadata received with a stream title, over every stream played.
extern qint64 MetaBytes;
