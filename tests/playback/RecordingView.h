#pragma once
// A PlayerView that keeps what the player showed, for the player's logic
// without a window (the main window's own tests use the real one).
#include "playback/PlayerView.h"

#include <QStringList>
#include <array>

class RecordingView : public PlayerView {
public:
    void SetStatusPanel(int index, const QString &text) override { panels.at(index) = text; }
    QString StatusPanel(int index) const override { return panels.at(index); }
    void SetNowPlaying(const QString &text) override { nowPlaying = text; }
    QString NowPlaying() const override { return nowPlaying; }
    void SetTitles(const QString &title) override { titles.append(title); }
    void SetConnecting(bool connecting) override { this->connecting = connecting; }

    std::array<QString, 4> panels;
    QString nowPlaying;
    QStringList titles; // every caption set, in order
    bool connecting = false;
};
