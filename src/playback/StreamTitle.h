#pragma once
// Stream titles: each metadata block the engine announces on the current
// stream puts its StreamTitle into the now-playing panel, the window caption
// and the application title, and counts towards "Metadata received". The
// block arrives as its own bytes, copied while the engine announced it, so
// every block is handled once and as it was. UI thread.
#include "playback/PlaybackState.h"
#include "playback/PlayerView.h"

#include <QByteArray>
#include <QString>

// The raw StreamTitle value of a metadata block. After "StreamTitle=", a
// value in single quotes runs to the first closing quote followed by ";" or
// by the end of the block (to the end when there is no such quote); an
// unquoted value runs to the next ";" or the end. Null when the block has no
// "StreamTitle="; empty when the value is empty.
QByteArray RawStreamTitle(const QByteArray &block);
// The title as the listener reads it: UTF-8 when the bytes are valid UTF-8,
// otherwise windows-1252 (what servers send for 8-bit sources), then passed
// through the code page as everything the window shows from a stream is.
QString DecodeStreamTitle(const QByteArray &raw);
// Handles one block: shows its title (or the station name, then the URL,
// when the title is empty) and adds the block's length to MetaBytes; a
// title of the stream's own then goes to the view's StreamTitleHeard. A
// block without "StreamTitle=" changes nothing.
void UpdateStreamTitle(const QByteArray &block, PlaybackState &state, PlayerView &view);
// "Metadata received: 0.000 Mb" for a byte count, in the user's locale.
QString MetadataReceivedText(qint64 bytes);
