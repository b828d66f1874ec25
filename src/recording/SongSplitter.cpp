#include "recording/SongSplitter.h"

#include "platform/CodePage.h"
#include "playback/StreamTitle.h"

#include <QDate>
#include <QFile>
#include <algorithm>
#include <cmath>

namespace {

// The first title of a connection names the song under way when it comes
// within this many bytes: servers send the current title in their first
// metadata block, or at the very start (HLS, Ogg).
constexpr quint64 NameReach = 64 * 1024;
// Decoded packets kept beyond what the held units need, for the cut search.
constexpr size_t KeptMarks = 20000;

} // namespace

struct SongSplitter::Song {
    QString Text;       // the stream title ("Artist - Title")
    bool Named = false; // Text came from the stream
    bool Partial = true;
    quint64 StartPos = 0;
    double StartTime = 0; // seconds of decoded audio where it starts
    std::unique_ptr<SongFile> File;
    QString Path;       // its temporary file
    quint64 EndPos = 0; // after the last unit written
};

SongSplitter::SongSplitter(const QString &musicFolder, const Station &station, Listener listener,
                           Rules rules)
    : library_(musicFolder, station.Name), station_(station), listener_(std::move(listener)),
      rules_(rules) {}

SongSplitter::~SongSplitter() {
    End();
}

void SongSplitter::Connection(quint32 serial, const QByteArray &contentType) {
    if (stopped_ || serial == serial_)
        return;
    // A new connection after a lost one: the song under way lost a piece,
    // and the lost connection's audio still plays to its end.
    Flush(false);
    if (stopped_)
        return;
    serial_ = serial;
    contentType_ = contentType;
    firstBytes_.clear();
    framer_.reset();
    expected_ = 0;
    started_ = false;
    marks_.clear();
    decoded_ = 0;
    held_.clear();
    heldBytes_ = 0;
    unitsEnd_ = 0;
    titles_.clear();
    StartSong(QString(), false, 0, true);
}

void SongSplitter::Data(quint32 serial, quint64 pos, const QByteArray &bytes) {
    if (stopped_ || serial != serial_ || bytes.isEmpty())
        return;
    if (started_ && pos != expected_) {
        // A tap set on a stream that has played a while hands over its first
        // bytes (for the Ogg headers) and then what the engine still holds:
        // the audio before that jump is long past and goes.
        if (pos > expected_ && song_ && !song_->File && titles_.empty()) {
            held_.clear();
            heldBytes_ = 0;
            song_->StartPos = song_->EndPos = pos;
        }
        Gap();
    }
    started_ = true;
    expected_ = pos + quint64(bytes.size());
    if (!framer_) {
        // The form is told by the first bytes.
        if (firstBytes_.isEmpty())
            firstBytes_.reserve(StreamFramer::FormBytes);
        const quint64 from = pos - quint64(firstBytes_.size());
        firstBytes_ += bytes;
        if (firstBytes_.size() < StreamFramer::FormBytes)
            return;
        framer_ = StreamFramer::Create(contentType_, firstBytes_);
        framer_->Feed(from, firstBytes_);
        firstBytes_.clear();
    } else {
        framer_->Feed(pos, bytes);
    }
    TakeUnits();
    for (const StreamFramer::Title &title : framer_->TakeTitles())
        TitleAt(title.Pos, title.Text);
    if (!framer_->Problem().isEmpty()) {
        Fail(QStringLiteral("This stream cannot be recorded: %1").arg(framer_->Problem()));
        return;
    }
    Advance(false);
}

void SongSplitter::TakeUnits() {
    for (StreamUnit &unit : framer_->TakeUnits()) {
        heldBytes_ += qsizetype(unit.End - unit.Pos);
        unitsEnd_ = std::max(unitsEnd_, unit.End);
        held_.push_back(std::move(unit));
    }
}

void SongSplitter::Meta(quint32 serial, quint64 pos, const QByteArray &block) {
    if (stopped_ || serial != serial_)
        return;
    const QByteArray raw = RawStreamTitle(block);
    if (raw.isNull())
        return;
    TitleAt(pos, CodePage::FromUtf8Or1252(raw).trimmed());
    Advance(false);
}

void SongSplitter::Level(quint32 serial, quint64 pos, quint32 frames, quint32 rate,
                         float meanSquare) {
    if (stopped_ || serial != serial_ || rate == 0 || frames == 0)
        return;
    if (!marks_.empty())
        pos = std::max(pos, marks_.back().Pos);
    const double length = double(frames) / rate;
    marks_.push_back({pos, {decoded_, length, meanSquare}});
    decoded_ += length;
    // Marks before the first unit held are of no more use.
    const quint64 oldest = held_.empty() ? pos : held_.front().Pos;
    while (marks_.size() > 2 && (marks_[1].Pos <= oldest || marks_.size() > KeptMarks))
        marks_.pop_front();
    Advance(false);
}

void SongSplitter::Gap() {
    if (song_)
        song_->Partial = true;
}

void SongSplitter::End() {
    if (!stopped_)
        Flush(true);
    serial_ = 0;
}

void SongSplitter::StopForSpace(const QString &reason) {
    if (stopped_)
        return;
    Flush(true);
    if (stopped_)
        return; // the disk failed first, and that was said
    stopped_ = true;
    listener_({Notice::Kind::Stopped, QString(), QString(), false, reason});
}

void SongSplitter::TitleAt(quint64 pos, const QString &text) {
    if (!song_ || text.isEmpty())
        return;
    // Stations name themselves during jingles and adverts: no song starts.
    for (const QString &own : station_.OwnNames)
        if (text.compare(own.trimmed(), Qt::CaseInsensitive) == 0)
            return;
    const QString &last = titles_.empty() ? song_->Text : titles_.back().Text;
    if (text == last)
        return;
    if (!song_->Named && titles_.empty() && pos <= song_->StartPos + NameReach) {
        song_->Text = text;
        song_->Named = true;
        listener_({Notice::Kind::SongStarted, text, QString(), false, QString()});
        return;
    }
    titles_.push_back({pos, text});
}

// Cuts at every title change whose surroundings are decoded (or at once when
// `force`), then writes what is known to lie before any cut still to come.
void SongSplitter::Advance(bool force) {
    while (!titles_.empty() && !stopped_) {
        const bool over = heldBytes_ > rules_.MaxHeldBytes;
        const double at = TimeAt(titles_.front().Pos);
        const double until = at + CutFinder::Reach + CutFinder::Window;
        // The search needs the levels around the change, and the units there
        // to cut between (a framer may give them later than the bytes come).
        const bool ready = at >= 0 && KnownUntil() >= until && unitsEnd_ > PosAt(until);
        if (!force && !over && !ready)
            break;
        const PendingTitle title = titles_.front();
        titles_.pop_front();
        Cut(title);
    }
    if (!stopped_)
        CommitHeld(force);
}

void SongSplitter::Cut(const PendingTitle &title) {
    const qsizetype index = CutIndex(title);
    for (qsizetype i = 0; i < index && !stopped_; ++i) {
        if (!WriteUnit(held_.front()))
            return;
        heldBytes_ -= qsizetype(held_.front().End - held_.front().Pos);
        held_.pop_front();
    }
    const quint64 pos = held_.empty() ? std::max(title.Pos, expected_) : held_.front().Pos;
    // A change before anything of the song was written only renames it
    // (titles handed over from long before the recording began): the song
    // stays as whole or partial as it was.
    const bool partial = song_ && !song_->File && song_->Partial;
    if (song_)
        song_->EndPos = pos;
    FinishSong(true);
    if (!stopped_)
        StartSong(title.Text, true, pos, partial);
}

// The held unit the new song starts with: the one whose start is heard
// nearest the quietest moment around the change (held_.size(): after all).
qsizetype SongSplitter::CutIndex(const PendingTitle &title) const {
    const double at = TimeAt(title.Pos);
    const auto firstFrom = [&](quint64 pos) {
        return qsizetype(std::find_if(held_.begin(), held_.end(),
                                      [&](const StreamUnit &u) { return u.Pos >= pos; }) -
                         held_.begin());
    };
    if (held_.empty() || at < 0)
        return firstFrom(title.Pos);
    QList<CutFinder::Level> levels;
    const double from = at - CutFinder::Reach - CutFinder::Window;
    const double to = at + CutFinder::Reach + CutFinder::Window;
    for (const Mark &m : marks_)
        if (m.Level.Start + m.Level.Length >= from && m.Level.Start <= to)
            levels.append(m.Level);
    // Nothing already written can go to the new song.
    const double written = std::max(TimeAt(held_.front().Pos), song_ ? song_->StartTime : 0.0);
    const double quiet = CutFinder::Quietest(levels, at, written);
    qsizetype best = -1;
    double distance = 0;
    for (qsizetype i = 0; i <= qsizetype(held_.size()); ++i) {
        const quint64 pos = i < qsizetype(held_.size()) ? held_[size_t(i)].Pos : expected_;
        const double t = TimeAt(pos);
        if (t < 0)
            continue;
        if (best < 0 || std::abs(t - quiet) < distance) {
            best = i;
            distance = std::abs(t - quiet);
        }
    }
    return best < 0 ? firstFrom(title.Pos) : best;
}

// Writes the held units that no cut can fall before any more: those heard
// more than Reach before the latest decoded audio and before the next
// title change's search. When more than MaxHeldBytes are held, or when
// `force`, they are written anyway.
void SongSplitter::CommitHeld(bool force) {
    double horizon = KnownUntil() - CutFinder::Reach - CutFinder::Window;
    if (!titles_.empty()) {
        const double at = TimeAt(titles_.front().Pos);
        if (at >= 0)
            horizon = std::min(horizon, at - CutFinder::Reach - CutFinder::Window);
    }
    while (!held_.empty() && !stopped_) {
        const bool over = heldBytes_ > rules_.MaxHeldBytes;
        if (!force && !over) {
            // A song not yet named waits for its name, which comes early.
            if (held_.size() < 2 || !song_ || !song_->Named)
                break;
            const double end = TimeAt(held_[1].Pos);
            if (end < 0 || end > horizon)
                break;
            if (!titles_.empty() && held_[1].Pos > titles_.front().Pos)
                break;
        }
        if (!WriteUnit(held_.front()))
            return;
        heldBytes_ -= qsizetype(held_.front().End - held_.front().Pos);
        if (song_)
            song_->EndPos = held_.front().End;
        held_.pop_front();
    }
}

bool SongSplitter::WriteUnit(const StreamUnit &unit) {
    if (!song_)
        return false;
    if (!song_->File && !OpenSongFile())
        return false;
    QString reason;
    if (!song_->File->Write(unit, reason)) {
        Fail(QStringLiteral("Recording stopped: cannot write %1: %2").arg(song_->Path, reason));
        return false;
    }
    song_->EndPos = unit.End;
    return true;
}

bool SongSplitter::OpenSongFile() {
    QString reason;
    const QString path = library_.TemporaryPath(framer_->Extension(), reason);
    if (path.isEmpty()) {
        Fail(QStringLiteral("Recording stopped: %1").arg(reason));
        return false;
    }
    const ArtistAndTitle split = SplitStreamTitle(song_->Text);
    SongTags tags;
    tags.Title = split.Title;
    tags.Artist = split.Artist;
    tags.Album = station_.Name;
    tags.Date = QDate::currentDate().toString(Qt::ISODate);
    tags.Comment = station_.Url;
    std::unique_ptr<SongFile> file = framer_->NewFile();
    song_->Path = path;
    if (!file->Open(path, tags, reason)) {
        QFile::remove(path);
        Fail(QStringLiteral("Recording stopped: cannot write %1: %2").arg(path, reason));
        return false;
    }
    song_->File = std::move(file);
    return true;
}

void SongSplitter::FinishSong(bool endsAtChange) {
    std::unique_ptr<Song> song = std::move(song_);
    if (!song || !song->File)
        return;
    QString reason;
    if (!song->File->Close(reason)) {
        QFile::remove(song->Path);
        song_ = std::move(song);
        song_->File.reset();
        Fail(QStringLiteral("Recording stopped: cannot write %1: %2").arg(song_->Path, reason));
        return;
    }
    const QString title = song->Named ? song->Text : QString();
    if (!song->File->HasAudio()) {
        QFile::remove(song->Path);
        return;
    }
    const bool complete = !song->Partial && endsAtChange;
    const double seconds = SecondsAt(song->EndPos) - song->StartTime;
    const double shortest = complete ? rules_.MinSongSeconds : rules_.MinPieceSeconds;
    if (seconds < shortest) {
        QFile::remove(song->Path);
        listener_(
            {Notice::Kind::SongDropped, title, QString(), complete,
             QStringLiteral("%1 s long, shorter than %2 s").arg(qRound(seconds)).arg(shortest)});
        return;
    }
    const ArtistAndTitle split = SplitStreamTitle(song->Text);
    QString placed;
    const SongLibrary::Outcome outcome =
        library_.Place(song->Path, SongLibrary::SongName(split.Artist, split.Title),
                       framer_->Extension(), complete, placed, reason);
    if (outcome == SongLibrary::Outcome::Failed) {
        Fail(QStringLiteral("Recording stopped: cannot move %1 to %2: %3")
                 .arg(song->Path, library_.StationFolder(), reason));
        return;
    }
    if (outcome == SongLibrary::Outcome::KeptOlder)
        listener_({Notice::Kind::SongDropped, title, placed, complete,
                   QStringLiteral("a longer recording of it is kept")});
    else
        listener_({Notice::Kind::SongSaved, title, placed, complete, QString()});
}

void SongSplitter::StartSong(const QString &text, bool named, quint64 pos, bool partial) {
    song_ = std::make_unique<Song>();
    song_->Text = text;
    song_->Named = named;
    song_->Partial = partial;
    song_->StartPos = pos;
    song_->EndPos = pos;
    song_->StartTime = SecondsAt(pos);
    if (named)
        listener_({Notice::Kind::SongStarted, text, QString(), false, QString()});
}

void SongSplitter::Flush(bool heardOnly) {
    if (framer_) {
        framer_->Finish();
        TakeUnits();
    }
    if (heardOnly && !marks_.empty()) {
        const quint64 heard = marks_.back().Pos;
        while (!titles_.empty() && titles_.back().Pos > heard)
            titles_.pop_back();
        while (!held_.empty() && held_.back().Pos > heard) {
            heldBytes_ -= qsizetype(held_.back().End - held_.back().Pos);
            held_.pop_back();
        }
    }
    Advance(true);
    if (!stopped_)
        FinishSong(false);
}

void SongSplitter::Fail(const QString &reason) {
    if (song_ && song_->File) {
        QString ignored;
        song_->File->Close(ignored);
        QFile::remove(song_->Path); // half written
    }
    song_.reset();
    held_.clear();
    heldBytes_ = 0;
    titles_.clear();
    stopped_ = true;
    listener_({Notice::Kind::Stopped, QString(), QString(), false, reason});
}

double SongSplitter::TimeAt(quint64 pos) const {
    if (marks_.empty() || pos > marks_.back().Pos)
        return -1;
    auto it = std::lower_bound(marks_.begin(), marks_.end(), pos,
                               [](const Mark &m, quint64 p) { return m.Pos < p; });
    if (it != marks_.end() && it->Pos == pos)
        return it->Level.Start;
    if (it == marks_.begin())
        return it->Level.Start;
    return std::prev(it)->Level.Start;
}

quint64 SongSplitter::PosAt(double seconds) const {
    auto it = std::upper_bound(marks_.begin(), marks_.end(), seconds,
                               [](double t, const Mark &m) { return t < m.Level.Start; });
    return it == marks_.begin() ? 0 : std::prev(it)->Pos;
}

double SongSplitter::KnownUntil() const {
    return marks_.empty() ? -1 : marks_.back().Level.Start + marks_.back().Level.Length;
}

// TimeAt, or beyond the decoded audio an estimate at the stream's byte rate
// so far.
double SongSplitter::SecondsAt(quint64 pos) const {
    const double t = TimeAt(pos);
    if (t >= 0 || marks_.empty())
        return std::max(t, 0.0);
    const Mark &first = marks_.front(), &last = marks_.back();
    const double perByte =
        last.Pos > first.Pos ? (last.Level.Start - first.Level.Start) / double(last.Pos - first.Pos)
                             : 0;
    return last.Level.Start + double(pos - last.Pos) * perByte;
}

QString SongSplitter::SongTitle() const {
    return song_ ? song_->Text : QString();
}

double SongSplitter::SongSeconds() const {
    if (!song_)
        return 0;
    return std::max(0.0, KnownUntil() - song_->StartTime);
}
