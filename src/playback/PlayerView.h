#pragma once
// What the player shows while it connects and plays, as the main window
// implements it: the status bar's panels, the now-playing panel, and the
// window caption with the application title. Keeping this an interface lets
// the player's logic live without widgets. UI thread only.
#include <QString>

class PlayerView {
public:
    virtual ~PlayerView() = default;
    virtual void SetStatusPanel(int index, const QString &text) = 0;
    virtual void SetNowPlaying(const QString &text) = 0;
    virtual QString NowPlaying() const = 0;
    // The stream title as the window caption and the application title.
    virtual void SetTitles(const QString &title) = 0;
    // Lets the window paint what was just written before a blocking call.
    virtual void ProcessPendingEvents() = 0;
};
