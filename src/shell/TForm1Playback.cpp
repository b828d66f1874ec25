// The main window's playback commands: play the current station, stop, the
// volume slider and its two shortcuts, and the favourite slots.
#include "platform/CodePage.h"
#include "playback/PlaybackState.h"
#include "playback/StreamPlayer.h"
#include "shell/TForm1.h"
#include "stations/StationLine.h"
#include "stations/StationListModel.h"
#include "window/Dispatch.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace {
// The row texts the list shows: sub-item 0 the station name, 3 the URL.
constexpr int NameColumn = 1, UrlColumn = 4;
} // namespace

void TForm1::sListView1DblClick() {
    const int row = CurrentStation();
    if (row < 0)
        return; // no station chosen: there is nothing to play
    CurrentUrl = CodePage::ToAnsi(Model->Text(row, UrlColumn));
    SetStatusPanel(0, QStringLiteral("Connecting to ") + Model->Text(row, NameColumn) +
                          QStringLiteral("..."));
    ProcessPendingEvents();
    PlayUrl(CurrentUrl, *this);
    // The events processed above may have changed the list or the selection.
    const int again = CurrentStation();
    if (again < 0)
        return;
    const QString name = Model->Text(again, NameColumn);
    SetStatusPanel(0, name);
    SetNowPlaying(name);
}

void TForm1::Stop1Click() {
    StopStream();
}

void TForm1::sTrackBar1Change() {
    SetOutputVolume(sTrackBar1->value());
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
    CurrentUrl = FavoriteUrls.at(slot - 1);
    PlayUrl(FavoriteUrls.at(slot - 1), *this);
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
}

void TForm1::ProcessPendingEvents() {
    QCoreApplication::processEvents();
}
