#include "recording/StreamRecorder.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStorageInfo>

namespace {

constexpr auto SpaceCheckEvery = std::chrono::seconds(2);
constexpr auto GatherFor = std::chrono::seconds(1);

// The free space of the disk that holds `folder`, or of the nearest folder
// above it that exists; -1 when unknown.
qint64 FreeBytes(const QString &folder) {
    QDir dir(folder);
    while (!dir.exists() && !dir.isRoot())
        if (!dir.cdUp())
            break;
    const QStorageInfo storage(dir.absolutePath());
    return storage.isValid() ? storage.bytesAvailable() : -1;
}

} // namespace

StreamRecorder::StreamRecorder(Settings settings, SongSplitter::Listener listener)
    : settings_(std::move(settings)), listener_(std::move(listener)),
      writer_(&StreamRecorder::Run, this) {}

StreamRecorder::~StreamRecorder() {
    {
        std::lock_guard lock(mutex_);
        quitting_ = true;
        wake_.notify_all();
    }
    writer_.join();
}

void StreamRecorder::BeginStream(const SongSplitter::Station &station) {
    Event e;
    e.What = Event::Kind::Begin;
    e.Station = station;
    Push(std::move(e));
}

void StreamRecorder::EndStream() {
    Event e;
    e.What = Event::Kind::End;
    Push(std::move(e));
}

void StreamRecorder::TapProc(DWORD, const BASS_TAPEVENT *event, void *user) {
    auto *self = static_cast<StreamRecorder *>(user);
    Event e;
    e.Serial = event->connection;
    e.Pos = event->pos;
    switch (event->kind) {
    case BASS_TAP_CONNECTION:
        e.What = Event::Kind::Connection;
        break;
    case BASS_TAP_DATA:
        e.What = Event::Kind::Data;
        break;
    case BASS_TAP_META:
        e.What = Event::Kind::Meta;
        break;
    case BASS_TAP_LEVEL:
        e.What = Event::Kind::Level;
        e.Frames = event->frames;
        e.Rate = event->rate;
        e.MeanSquare = event->level;
        break;
    default:
        return;
    }
    if (event->data && event->length > 0)
        e.Bytes = QByteArray(static_cast<const char *>(event->data), qsizetype(event->length));
    self->Push(std::move(e));
}

// Never waits for the writer: audio that does not fit is dropped, and the
// writer learns of the loss with the next event that fits.
void StreamRecorder::Push(Event event) {
    std::lock_guard lock(mutex_);
    if (event.What == Event::Kind::Data) {
        if (queuedBytes_ + event.Bytes.size() > settings_.MaxQueuedBytes) {
            lost_ = true;
            return;
        }
        queuedBytes_ += event.Bytes.size();
    }
    if (lost_ && event.What != Event::Kind::Begin) {
        Event gap;
        gap.What = Event::Kind::Gap;
        queue_.push_back(std::move(gap));
        ++pushed_;
    }
    lost_ = false;
    queue_.push_back(std::move(event));
    ++pushed_;
    if (queuedBytes_ > settings_.MaxQueuedBytes / 2)
        wake_.notify_one();
}

void StreamRecorder::WaitIdle() {
    std::unique_lock lock(mutex_);
    const quint64 target = pushed_;
    ++waiters_;
    wake_.notify_one();
    idle_.wait(lock, [&] { return handled_ >= target; });
    --waiters_;
}

QString StreamRecorder::SongTitle() const {
    std::lock_guard lock(mutex_);
    return songTitle_;
}

double StreamRecorder::SongSeconds() const {
    std::lock_guard lock(mutex_);
    return songSeconds_;
}

// The writer takes what gathered once a second (a station hands over some
// fifty events a second, and waking for each would cost more than handling
// them), sooner when the queue fills up, a WaitIdle waits or it is time to go.
void StreamRecorder::Run() {
    std::deque<Event> batch;
    while (true) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, GatherFor, [&] {
                return quitting_ || queuedBytes_ > settings_.MaxQueuedBytes / 2 ||
                       (waiters_ > 0 && !queue_.empty());
            });
            if (queue_.empty() && quitting_)
                break;
            batch.swap(queue_);
            queuedBytes_ = 0;
        }
        for (Event &e : batch)
            Handle(e);
        const quint64 done = batch.size();
        batch.clear();
        if (splitter_ && std::chrono::steady_clock::now() - lastCheck_ >= SpaceCheckEvery)
            CheckSpace();
        std::lock_guard lock(mutex_);
        handled_ += done;
        songTitle_ = splitter_ ? splitter_->SongTitle() : QString();
        songSeconds_ = splitter_ ? splitter_->SongSeconds() : 0;
        idle_.notify_all();
    }
    splitter_.reset(); // the song under way ends as partial
}

void StreamRecorder::Handle(Event &e) {
    if (e.What == Event::Kind::Begin) {
        splitter_.reset();
        splitter_ = std::make_unique<SongSplitter>(settings_.MusicFolder, e.Station, listener_,
                                                   settings_.Rules);
        CheckSpace();
        return;
    }
    if (!splitter_)
        return;
    switch (e.What) {
    case Event::Kind::End:
        splitter_.reset();
        break;
    case Event::Kind::Connection:
        splitter_->Connection(e.Serial, e.Bytes);
        break;
    case Event::Kind::Data:
        splitter_->Data(e.Serial, e.Pos, e.Bytes);
        break;
    case Event::Kind::Meta:
        splitter_->Meta(e.Serial, e.Pos, e.Bytes);
        break;
    case Event::Kind::Level:
        splitter_->Level(e.Serial, e.Pos, e.Frames, e.Rate, e.MeanSquare);
        break;
    case Event::Kind::Gap:
        splitter_->Gap();
        break;
    case Event::Kind::Begin:
        break;
    }
}

void StreamRecorder::CheckSpace() {
    lastCheck_ = std::chrono::steady_clock::now();
    if (!splitter_ || splitter_->Stopped())
        return;
    const qint64 free = FreeBytes(settings_.MusicFolder);
    if (free < 0 || free >= settings_.MinFreeBytes)
        return;
    splitter_->StopForSpace(
        QStringLiteral("Recording stopped: less than %1 free on the disk of %2")
            .arg(QLocale::system().formattedDataSize(settings_.MinFreeBytes, 0,
                                                     QLocale::DataSizeTraditionalFormat),
                 QDir::toNativeSeparators(settings_.MusicFolder)));
}
