#include "playback/PlaybackState.h"

DWORD Channel = 0;
QByteArray CurrentUrl;
QByteArray IcyName;
QByteArray IcyBitrate;
qint64 MetaBytes = 0;
