// The main window's playback commands: play the current station, stop, the
// volume slider and its two shortcuts, and the favourite slots.
#include "platform/CodePage.h"
#include "playback/StreamPlayer.h"
#include "shell/TForm1.h"
#include "stations/StationLine.h"
#include "stations/StationListModel.h"
#include "window/Dispatch.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

void TForm1::sListView1DblClick() {
    const int row = CurrentStation();
    if (row < 0)
        return; // no station chosen: there is nothing to play
    PlayStation(Model->Text(row, StationListModel::NameColumn),
                CodePage::ToAnsi(Model->Text(row, StationListModel::UrlColumn)));
}

void TForm1::PlayStation(const QString &name, const QByteArray &url) {
    Playback.CurrentUrl = url;
    // The name of the station asked for: the list may be searched while it
    // connects, but what shows afterwards belongs to this station.
    SetStatusPanel(OutcomePanel, QStringLiteral("Connecting to ") + name + QStringLiteral("..."));
    Player->PlayUrl(Playback.CurrentUrl, [this, name](bool opened) {
        // A station that could not be opened keeps "Can't open <URL>" and
        // the now-playing panel what it showed: its name there would read
        // as if it played.
        if (!opened) {
            playingName_.clear();
            return;
        }
        SetStatusPanel(OutcomePanel, name);
        SetNowPlaying(name);
        playingName_ = name;
    });
}

void TForm1::PlayUrl(const QByteArray &url) {
    Player->PlayUrl(url);
}

void TForm1::PlayCurrentUrl() {
    // The panel will show the stream's own name, if any: no list's name.
    playingName_.clear();
    SetStatusPanel(OutcomePanel,
                   CodePage::FromAnsi("Connecting to " + Playback.CurrentUrl + "..."));
    PlayUrl(Playback.CurrentUrl);
}

void TForm1::Stop1Click() {
    Player->StopStream();
}

void TForm1::sTrackBar1Change() {
    Player->SetOutputVolume(sTrackBar1->value());
}

void TForm1::Mute1Click() {
    sTrackBar1->setValue(0);
}

void TForm1::Volume1001Click() {
    sTrackBar1->setValue(100);
}

void TForm1::SetFavoriteClick(int slot) {
    // With no station selected the list raises "List index out of bounds (-1)"
    // and the slot keeps what it held.
    const QString &line = Stations.Line(CurrentStation());
    FavoriteUrls.at(slot - 1) =
        CodePage::ToAnsi(ExtractField(QLatin1Char('\t'), line, StationField::Url));
}

void TForm1::FavoriteButtonClick(int slot) {
    // A free slot is easy to hit by its digit key: it leaves the radio alone.
    if (FavoriteUrls.at(slot - 1).isEmpty())
        return;
    Playback.CurrentUrl = FavoriteUrls.at(slot - 1);
    playingSlot_ = slot;
    PlayCurrentUrl();
}

void TForm1::PlayFavoriteClick(int slot) {
    // Exactly what a click on the slot's button does.
    sButton.at(slot - 1)->click();
}

void TForm1::SetNowPlaying(const QString &text) {
    sPanel1->setText(text);
}

QString TForm1::NowPlaying() const {
    return sPanel1->text();
}

void TForm1::SetTitles(const QString &title) {
    SetApplicationTitle(title);
    setWindowTitle(title);
    Q_EMIT TitlesChanged(title);
}

void TForm1::SetConnecting(bool connecting) {
    // Commands that change the list, the favourites or the settings, or open
    // a dialog; play commands, Stop, search and the volume stay live.
    QAction *const waiting[] = {
        Settings1,  Addanewstation1, Addanewstation2, Downloadlistfromserver1, Loadlist1, Savelist1,
        Clearlist1, Deletestation1,  Update1};
    for (QAction *action : waiting)
        action->setEnabled(!connecting);
    for (QAction *action : SetSlot)
        action->setEnabled(!connecting);
}
