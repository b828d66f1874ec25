// The main window on the desktop's media controls: what MprisService reads
// of the player and what its commands do here.
#include "platform/CodePage.h"
#include "playback/PlaybackState.h"
#include "shell/MprisService.h"
#include "shell/TForm1.h"
#include "window/Dispatch.h"

#include <QAction>
#include <QSlider>

void TForm1::CreateMpris() {
    MprisState state;
    state.playing = [this] {
        return Playback.AudioLibHandle && Playback.Channel != 0 &&
               Playback.Bass.BASS_ChannelIsActive(Playback.Channel) != BASS_ACTIVE_STOPPED;
    };
    // A title belongs to the stream it came with; another station has none
    // until its own arrives.
    state.title = [this] {
        return streamTitleUrl_ == Playback.CurrentUrl ? streamTitle_ : QString();
    };
    state.station = [this] { return CodePage::FromAnsi(Playback.IcyName).trimmed(); };
    state.url = [this] { return CodePage::FromAnsi(Playback.CurrentUrl); };
    state.volume = [this] { return sTrackBar1->value(); };
    state.setVolume = [this](int position) { sTrackBar1->setValue(position); };
    // CurrentUrl anew, as a click on its favourite button plays it.
    state.canGoNext = [this] { return AnyFavorite(); };
    state.play = [this] { Dispatch([&] { PlayCurrentUrl(); }); };
    state.next = [this] { Dispatch([&] { PlayNextFavorite(1); }); };
    state.previous = [this] { Dispatch([&] { PlayNextFavorite(-1); }); };
    state.stop = [this] { Dispatch([&] { Stop1Click(); }); };
    state.raise = [this] { Dispatch([&] { TrayIcon1Click(); }); };
    state.quit = [this] { Dispatch([&] { Exit1Click(); }); };
    auto *service = new MprisService(std::move(state), this);
    if (!service->Registered()) {
        delete service;
        return;
    }
    Mpris = service;
    Connect(this, &TForm1::TitlesChanged, Mpris, [this](const QString &title) {
        streamTitle_ = title;
        streamTitleUrl_ = Playback.CurrentUrl;
        Mpris->Refresh();
    });
    Connect(this, &TForm1::PlayerViewChanged, Mpris, &MprisService::Refresh);
    Connect(sTrackBar1, &QSlider::valueChanged, Mpris, &MprisService::Refresh);
    // The Stop of the tray menu and of any other place.
    Connect(Stop1, &QAction::triggered, Mpris, &MprisService::Refresh, Qt::QueuedConnection);
}
