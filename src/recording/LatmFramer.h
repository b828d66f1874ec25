#pragma once
// AAC in LOAS/LATM, as DVB and some stations send it: each sync frame's
// AudioMuxElement is unpacked into its raw AAC access unit and the
// AudioSpecificConfig that describes it, which is what an MP4 track holds,
// so the songs are written to .m4a without re-encoding. The common forms
// are read (one program, one layer, payload lengths in bytes, the
// configuration in the stream); a stream in another form cannot be recorded
// and says so. Outside input: read within bounds whatever it holds. Writer
// thread.
#include "recording/ContainerTrack.h"
#include "recording/SyncFramer.h"

class LatmFramer : public SyncFramer {
public:
    LatmFramer();
    QString Extension() const override { return QStringLiteral("m4a"); }
    std::unique_ptr<SongFile> NewFile() const override;

    // The AudioMuxElement of one sync frame: its access units, appended to
    // `units` (on the framer's track, which a configuration in it replaces).
    // False when its form is not one this framer reads.
    bool ReadElement(QByteArrayView element, quint64 pos);

private:
    qsizetype FrameAt(QByteArrayView bytes) const override;
    bool Alike(QByteArrayView, QByteArrayView) const override { return true; }
    void TakeFrame(QByteArrayView frame, quint64 pos) override;

    std::shared_ptr<const ContainerTrack> track_; // from the last configuration
    bool sameTimeFraming_ = true;
    int subFrames_ = 0;
    qint64 nextPts_ = 0; // in samples of the track's rate
};
