// The main window's playback commands: play the current station, stop, the
// volume slider and its two shortcuts, and the favourite slots; also the two
// list-server commands of the menus.
#include "platform/CodePage.h"
#include "shell/TForm1.h"
#include "stations/StationLine.h"

#include <QPushButton>
#include <QSlider>

void TForm1::sListView1DblClick() {
    // Plays the current station through PlayUrl, with "Connecting to ..." in
    // status panel 0 while it opens.
}

void TForm1::Stop1Click() {
    // Stops and releases the stream that is playing.
}

void TForm1::sTrackBar1Change() {
    // Hands the slider's position to the audio engine as the output volume.
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

void TForm1::FavoriteButtonClick(int) {
    // Plays the slot's URL through PlayUrl.
}

void TForm1::PlayFavoriteClick(int slot) {
    // Exactly what a click on the slot's button does.
    sButton.at(slot - 1)->click();
}

void TForm1::Downloadlistfromserver1Click() {
    // Replaces the station file and the list with the list server's list.
}

void TForm1::Update1Click() {
    // Asks the list server whether a newer version exists.
}
