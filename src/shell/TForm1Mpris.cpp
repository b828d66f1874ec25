// The main window on the desktop's media controls: what MprisService reads
// of the player and what its commands do here.
#include "platform/CodePage.h"
#include "playback/Dynamic_Bass.h"
#include "playback/PlaybackState.h"
#include "playback/StreamPlayer.h"
#include "shell/MprisService.h"
#include "shell/TForm1.h"
#include "window/Dispatch.h"

#include <QAction>
#include <QSlider>

void TForm1::CreateMpris() {
    MprisState state;
    state.playing = [] {
        return AudioLibHandle && Channel != 0 &&
               Bass.BASS_ChannelIsActive(Channel) != BASS_ACTIVE_STOPPED;
    };
    // A title belongs to the stream it came with; another station has none
    // until its own arrives.
    state.title = [this] { return streamTitleUrl_ == CurrentUrl ? streamTitle_ : QString(); };
    state.station = [] { return CodePage::FromAnsi(IcyName).trimmed(); };
    state.url = [] { return CodePage::FromAnsi(CurrentUrl); };
    state.volume = [this] { return sTrackBar1->value(); };
    state.setVolume = [this](int position) { sTrackBar1->setValue(position); };
    // CurrentUrl anew, as a click on its favourite button plays it.
    state.play = [this] { Dispatch([&] { PlayUrl(CurrentUrl, *this); }); };
    state.stop = [this] { Dispatch([&] { Stop1Click(); }); };
    state.raise = [this] { Dispatch([&] { TrayIcon1Click(); }); };
    state.quit = [this] { Dispatch([&] { Exit1Click(); }); };
    auto *service = new MprisService(std::move(state), this);
    if (!service->Registered()) {
        delete service;
        return;
    }
    Mpris = service;
    connect(this, &TForm1::TitlesChanged, Mpris, [this](const QString &title) {
        streamTitle_ = title;
        streamTitleUrl_ = CurrentUrl;
        Mpris->Refresh();
    });
    connect(this, &TForm1::PlayerViewChanged, Mpris, &MprisService::Refresh);
    connect(sTrackBar1, &QSlider::valueChanged, Mpris, &MprisService::Refresh);
    // The Stop of the tray menu and of any other place.
    connect(Stop1, &QAction::triggered, Mpris, &MprisService::Refresh, Qt::QueuedConnection);
}
