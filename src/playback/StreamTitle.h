#pragma once
// Stream titles: each metadata block the engine reports on the current
// stream puts its StreamTitle into the now-playing panel, the window caption
// and the application title, and counts towards "Metadata received".
#include "bass.h"
#include "playback/PlayerView.h"

#include <QByteArray>
#include <QString>

// The raw title of a metadata block: the bytes between "StreamTitle='" and
// the character before the block's first ";". Null when the block has no
// "StreamTitle="; empty when the title is empty or unusable.
QByteArray RawStreamTitle(const QByteArray &block);
// Reads the current stream's latest block and updates the view. UI thread.
void UpdateStreamTitle(PlayerView &view);
// "Metadata received: 0.000 Mb" for a byte count, in the user's locale.
QString MetadataReceivedText(qint64 bytes);

// The view the engine's notifications are handed to (UI thread; null: none).
void SetTitleView(PlayerView *view);
// The engine's metadata notification. It runs on an engine thread and only
// queues UpdateStreamTitle on the UI thread, in arrival order.
void MetaSyncProc(DWORD sync, DWORD channel, DWORD data, void *user);
