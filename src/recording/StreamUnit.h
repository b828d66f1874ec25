#pragma once
// One piece of a stream as the station sent it, the smallest a recording is
// cut at: an MP3 or ADTS frame, an Ogg page, or a packet of a container
// stream. Made by a StreamFramer, written by a SongFile. A value; the writer
// thread.
#include "recording/OggHeaders.h"
#include "recording/OggPage.h"

#include <QByteArray>
#include <memory>

struct ContainerTrack;

struct StreamUnit {
    // Where the unit starts and ends in its connection's audio bytes.
    quint64 Pos = 0;
    quint64 End = 0;
    // An MP3/ADTS frame or a container packet's bytes, as they came.
    QByteArray Bytes;

    // Ogg: the page, its logical stream's header packets (null when the
    // recording joined that stream after them: the page cannot be written),
    // and the granule position of the stream's last page before it (-1 when
    // pages before it were missed).
    OggPage Page;
    std::shared_ptr<const OggHeaders> Headers;
    qint64 GranuleBefore = 0;

    // Container packets: the track they belong to, their time stamps in its
    // time base, and whether the packet can start a file.
    std::shared_ptr<const ContainerTrack> Track;
    qint64 Pts = 0;
    qint64 Duration = 0;
    bool Key = true;
};
