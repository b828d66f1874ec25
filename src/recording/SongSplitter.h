#pragma once
// Turns one stream's recording into one file per song. It takes what the
// engine hands over (each connection's audio bytes, the titles placed at
// their byte, the level of each decoded packet placed at its byte), splits
// the bytes into units, and holds the newest of them back until it is known
// where the next song change is cut: at the title change as it is heard,
// moved to the quietest tenth of a second within five seconds of it, at the
// unit boundary nearest to that. The song under way when the recording
// began, one the recording lost part of (a reconnect, data lost on the way)
// and the one under way when it ends are partial; a complete song shorter
// than 45 s (a jingle, an advert) and a partial piece shorter than 5 s are
// not kept. Writer thread only.
#include "recording/CutFinder.h"
#include "recording/SongLibrary.h"
#include "recording/StreamFramer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>

class SongSplitter {
public:
    // What the recorded stream is: the station's name (the folder, the
    // album tag), the names it calls itself by (titles that are only one of
    // them do not start a song), and its address (the comment tag).
    struct Station {
        QString Name;
        QStringList OwnNames;
        QString Url;
    };
    // What happened to a song, or to the recording.
    struct Notice {
        enum class Kind { SongStarted, SongSaved, SongDropped, Stopped } What = Kind::SongStarted;
        QString Title; // the song's stream title
        QString Path;  // SongSaved: where the file went
        bool Complete = false;
        QString Reason; // SongDropped, Stopped: why, for the user
    };
    using Listener = std::function<void(const Notice &)>;

    // The rules, fixed for a recording; tests may shorten them.
    struct Rules {
        double MinSongSeconds = 45;
        double MinPieceSeconds = 5;
        // Bytes held back at most before they are written anyway.
        qsizetype MaxHeldBytes = 8 * 1024 * 1024;
    };

    SongSplitter(const QString &musicFolder, const Station &station, Listener listener,
                 Rules rules);
    ~SongSplitter();

    // The engine's events, in the order they came.
    void Connection(quint32 serial, const QByteArray &contentType);
    void Data(quint32 serial, quint64 pos, const QByteArray &bytes);
    void Meta(quint32 serial, quint64 pos, const QByteArray &block);
    void Level(quint32 serial, quint64 pos, quint32 frames, quint32 rate, float meanSquare);
    // Data were lost on the way (the writer fell behind): the song is partial.
    void Gap();
    // The recording of this stream ends: what is held is written, the song
    // under way is partial.
    void End();
    // The disk has less free space than the recording needs: it stops as at
    // its end, and says why.
    void StopForSpace(const QString &reason);
    // True once the recording stopped for good (a disk that failed or
    // filled, a stream that cannot be recorded): every event is then ignored.
    bool Stopped() const { return stopped_; }
    // The song being recorded and the seconds of it heard so far.
    QString SongTitle() const;
    double SongSeconds() const;

private:
    struct Song;
    struct Mark {
        quint64 Pos;
        CutFinder::Level Level;
    };
    struct PendingTitle {
        quint64 Pos;
        QString Text;
    };

    void TitleAt(quint64 pos, const QString &text);
    void Advance(bool force);
    void Cut(const PendingTitle &title);
    qsizetype CutIndex(const PendingTitle &title) const;
    void CommitHeld(bool force);
    bool WriteUnit(const StreamUnit &unit);
    bool OpenSongFile();
    void FinishSong(bool endsAtChange);
    void StartSong(const QString &text, bool named, quint64 pos, bool partial);
    // Writes what is held and finishes the song under way as partial; with
    // `heardOnly`, what the decoder has not reached yet is left out: the
    // recording ends where the listener is.
    void Flush(bool heardOnly);
    void Fail(const QString &reason);
    // Time in seconds of the decoded audio at a byte; < 0 when not decoded yet.
    double TimeAt(quint64 pos) const;
    // TimeAt, or an estimate from the byte rate so far beyond the decoded audio.
    double SecondsAt(quint64 pos) const;
    double KnownUntil() const;
    // The byte of the decoded packet heard at `seconds`.
    quint64 PosAt(double seconds) const;
    // Moves the framer's finished units to the held ones.
    void TakeUnits();

    SongLibrary library_;
    const Station station_;
    const Listener listener_;
    const Rules rules_;
    bool stopped_ = false;

    // The connection being recorded, and what is held of it.
    quint32 serial_ = 0;
    QByteArray contentType_;
    QByteArray firstBytes_; // until the framer is chosen
    std::unique_ptr<StreamFramer> framer_;
    quint64 expected_ = 0; // the byte that should come next
    bool started_ = false;
    std::deque<Mark> marks_; // decoded packets by byte, in order
    double decoded_ = 0;     // seconds decoded so far
    std::deque<StreamUnit> held_;
    qsizetype heldBytes_ = 0;
    quint64 unitsEnd_ = 0; // where the framer's last unit ends
    std::deque<PendingTitle> titles_;
    std::unique_ptr<Song> song_;
};
