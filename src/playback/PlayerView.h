#pragma once
// What the player shows while it connects and plays, as the main window
// implements it: the status bar's panels, the now-playing panel, and the
// window caption with the application title. Keeping this an interface lets
// the player's logic live without widgets. UI thread only.
#include <QString>

class PlayerView {
public:
    // The status bar's panels by what they show.
    enum StatusPanelIndex {
        OutcomePanel = 0,  // connecting, playing, reconnecting, can't open
        BitratePanel = 1,  // "Bitrate: 128k"
        MetadataPanel = 2, // "Metadata received: 0.001 Mb"
    };

    virtual ~PlayerView() = default;
    virtual void SetStatusPanel(int index, const QString &text) = 0;
    virtual QString StatusPanel(int index) const = 0;
    virtual void SetNowPlaying(const QString &text) = 0;
    virtual QString NowPlaying() const = 0;
    // The stream title as the window caption and the application title.
    virtual void SetTitles(const QString &title) = 0;
    // The stream sent a title of its own (never the station-name or URL
    // fallback), told once the window shows it: for the song history and
    // the desktop's notifications.
    virtual void StreamTitleHeard(const QString &title) { (void)title; }
    // True while a stream is being opened: the window holds back the input
    // that must wait for the open to end (list edits, dialogs).
    virtual void SetConnecting(bool connecting) = 0;
};
