#pragma once
// The audio track a container unit (an AAC access unit out of LATM, or a
// packet of an MP4 stream) belongs to: what an .m4a file's track is made
// of. Shared read-only by the units of one track. Writer thread.
#include <QByteArray>

struct ContainerTrack {
    int CodecId = 0; // FFmpeg's AVCodecID
    int SampleRate = 0;
    int Channels = 0;
    int FrameSize = 0;    // samples per unit, 0 when they differ
    QByteArray Extradata; // the codec's set-up (AAC: its AudioSpecificConfig)
    // The time base of the units' Pts and Duration.
    int TimeBaseNum = 1;
    int TimeBaseDen = 1;

    bool SameAs(const ContainerTrack &o) const {
        return CodecId == o.CodecId && SampleRate == o.SampleRate && Channels == o.Channels &&
               Extradata == o.Extradata;
    }
};
