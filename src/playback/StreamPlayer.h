#pragma once
// The stream player: one stream at a time, opened through the engine, its
// buffer filled beyond three quarters, the station name and bitrate taken
// from the response headers, then played with its metadata followed.
// UI thread only; every call blocks for a bounded time.
#include "playback/PlayerView.h"

#include <QByteArray>

// Releases the current stream, opens `url` and starts it. The status texts
// are built from CurrentUrl, which callers set to `url` first.
void PlayUrl(const QByteArray &url, PlayerView &view);
// Waits until the new stream's buffer is filled beyond 75 per cent (or the
// wait's bound passes), then reads "icy-name:" and "icy-br:".
void PrebufferAndReadIcy(PlayerView &view);
// The output volume from the slider's position 0 ... 100.
void SetOutputVolume(int position);
// Stops the current stream; it stays allocated.
void StopStream();

// The buffer wait's bound: a stream that stalls before its buffer fills
// plays what it has after this long rather than freezing the window.
inline constexpr int PrebufferLimitMs = 8000;
