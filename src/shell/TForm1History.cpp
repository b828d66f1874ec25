// The main window's part in the song history, the title notifications, the
// sleep timer and the desktop's Next and Previous: where the titles come in,
// what the commands of File and List do, and status panel 3.
#include "history/SongHistory.h"
#include "history/TitleNotifier.h"
#include "history/ui/TFormHistory.h"
#include "platform/AppPaths.h"
#include "platform/CodePage.h"
#include "playback/SleepTimer.h"
#include "playback/StreamPlayer.h"
#include "shell/TForm1.h"
#include "window/Dispatch.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSlider>

namespace {

// The picture sent with each notification: the 48-pixel icon as RGBA bytes.
NotificationImage IconImage() {
    const QImage icon =
        QImage(QStringLiteral(":/icons/quorane-48.png")).convertToFormat(QImage::Format_RGBA8888);
    NotificationImage image;
    if (icon.isNull())
        return image;
    image.width = icon.width();
    image.height = icon.height();
    image.rowStride = int(icon.bytesPerLine());
    image.hasAlpha = true;
    image.bitsPerSample = 8;
    image.channels = 4;
    image.data = QByteArray(reinterpret_cast<const char *>(icon.constBits()), icon.sizeInBytes());
    return image;
}

} // namespace

void TForm1::CreateHistory() {
    History = new SongHistory(this);
    // Beside the settings file: with it in the application folder, or in
    // the configuration folder for an installed copy.
    History->Load(
        QFileInfo(AppPaths::SettingsFile()).dir().filePath(QStringLiteral("History.txt")));
    Notifier = new TitleNotifier(this);
    Notifier->SetIcon(QStringLiteral("quorane"), IconImage());
    SleepTimer::Actions actions;
    actions.setVolumeFactor = [this](double factor) {
        Player->SetOutputVolume(sTrackBar1->value(), factor);
    };
    // As the tray menu's Stop, so that everything that follows Stop hears it.
    actions.stop = [this] { Stop1->trigger(); };
    actions.changed = [this] {
        if (!Sleep->Running())
            SleepItem[0]->setChecked(true);
        UpdateStatusPanel3();
    };
    Sleep = new SleepTimer(std::move(actions), this);
}

void TForm1::SaveHistory() {
    if (History)
        History->Save();
}

void TForm1::Songhistory1Click() {
    if (FormHistory)
        FormHistory->ShowInFront();
}

void TForm1::SleepTimerClick(int minutes) {
    if (Sleep)
        Sleep->Start(minutes);
}

void TForm1::UpdateStatusPanel3() {
    QString text;
    if (Sleep && Sleep->Running())
        text = QStringLiteral("%1 min").arg(Sleep->MinutesLeft());
    if (text != StatusPanel(3))
        SetStatusPanel(3, text);
}

QString TForm1::HeardStation() const {
    if (!playingName_.isEmpty())
        return playingName_;
    const QString icyName = CodePage::FromAnsi(Playback.IcyName).trimmed();
    return icyName.isEmpty() ? CodePage::FromAnsi(Playback.CurrentUrl) : icyName;
}

bool TForm1::SeenByListener() const {
    return isVisible() && !isMinimized() && isActiveWindow();
}

void TForm1::StreamTitleHeard(const QString &title) {
    // Reached from the player's queued hand-over of a metadata block, which
    // no other handler wraps.
    Dispatch([&] {
        if (!History)
            return;
        const QString station = HeardStation();
        if (!History->Record(Playback.CurrentUrl, station, title))
            return; // the same title again
        if (Notifyontitlechange1->isChecked() && !SeenByListener())
            Notifier->Notify(station, title);
    });
}

bool TForm1::AnyFavorite() const {
    for (const QByteArray &url : FavoriteUrls)
        if (!url.isEmpty())
            return true;
    return false;
}

bool TForm1::PlayNextFavorite(int step) {
    const int slots = int(FavoriteUrls.size());
    // The slot playing: the one played last while it still holds the URL,
    // else the first that holds it.
    int current = 0;
    if (playingSlot_ > 0 && FavoriteUrls.at(playingSlot_ - 1) == Playback.CurrentUrl)
        current = playingSlot_;
    for (int n = 1; n <= slots && current == 0 && !Playback.CurrentUrl.isEmpty(); ++n)
        if (FavoriteUrls.at(n - 1) == Playback.CurrentUrl)
            current = n;
    // From no slot, Next starts before the first and Previous after the last.
    int n = current != 0 ? current : step > 0 ? 0 : slots + 1;
    for (int tried = 0; tried < slots; ++tried) {
        n = (n - 1 + step + slots) % slots + 1;
        if (!FavoriteUrls.at(n - 1).isEmpty()) {
            FavoriteButtonClick(n);
            return true;
        }
    }
    return false;
}
