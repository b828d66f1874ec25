#pragma once
// TForm1: Quorane's main window. The station list fills most of it; below
// are the fourteen favourite buttons, the strip with the search box, the
// now-playing panel and the volume slider, and the status bar. It owns the
// station list, the favourites and the skin manager, and runs the program's
// start-up (FormCreate) and its part of the shutdown (FormDestroy).
// Everything here belongs to the UI thread.
#include "directory/DirectoryHost.h"
#include "playback/PlaybackState.h"
#include "playback/PlayerView.h"
#include "stations/StationList.h"
#include "window/TFormINI.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <memory>

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QSlider;
class QStatusBar;
class QTableView;
class ShortcutFilter;
class MprisService;
class SleepTimer;
class SongHistory;
class SkinManager;
class SkinMenu;
class StationListModel;
class StationListView;
class StreamPlayer;
class TForm2;
class TForm3;
class TFormHistory;
class TitleNotifier;
class TFormFindStations;
class TrayIcon;
class IniFile;

class TForm1 : public TFormINI, public PlayerView, public DirectoryHost {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // ---- start-up and shutdown (TForm1Lifecycle.cpp) ----
    void FormCreate();
    void FormDestroy() override;
    void LoadSettings();
    void SaveSettings();
    // True when the audio engine reported another version: the program ends
    // at once, shows no window and writes no file.
    bool StartupAborted = false;

    // ---- shell commands ----
    void Exit1Click();
    void Exit2Click();
    void About1Click();
    void Onlinesupport1Click();
    void Settings1Click();
    void Addanewstation1Click();
    void Addanewstation2Click();
    void Snow1Click();
    // A character key that reached the window itself; Esc closes the program.
    void FormKeyPress(char16_t &key);

    // ---- station list and search ----
    void sEdit1Change();
    void sEdit1Click();
    void sEdit1KeyPress(char16_t &key);
    void sListView1KeyPress(char16_t &key);
    void sListView1KeyUp(int key, Qt::KeyboardModifiers modifiers);
    void sListView1ColumnClick(int column);
    // The lowest selected row, or -1 when none is selected.
    int CurrentStation() const;
    // Selects row i (keeping other selected rows), focuses it and scrolls it
    // wholly into view.
    void SelectRow(int i);

    // ---- list commands ----
    void Clearlist1Click();
    void Deletestation1Click();
    void Loadlist1Click();
    void Savelist1Click();

    // ---- handlers filled by playback, favourites and online services ----
    void sListView1DblClick();
    void Stop1Click();
    void sTrackBar1Change();
    void Mute1Click();
    void Volume1001Click();
    void SetFavoriteClick(int slot);    // Slot11Click ... Slot141Click
    void FavoriteButtonClick(int slot); // sButton1Click ... sButton14Click
    void PlayFavoriteClick(int slot);   // Slot12Click ... Slot142Click
    // Plays CurrentUrl anew, as a favourite slot does: "Connecting to " with
    // the URL, then PlayUrl. For the desktop's media controls.
    void PlayCurrentUrl();
    // Plays a station by its name and stream URL, as a double-click on the
    // list does: "Connecting to <name>..." while it opens, then the name in
    // status panel 0 and the now-playing panel; a station that cannot be
    // opened leaves "Can't open <URL>" in status panel 0.
    void PlayStation(const QString &name, const QByteArray &url);
    // The one way to play a stream: releases the current one and opens url
    // without holding up the window (see StreamPlayer).
    void PlayUrl(const QByteArray &url);
    void Downloadlistfromserver1Click();
    void Update1Click();

    // ---- the community directory (TForm1Directory.cpp) ----
    // List > "Find stations...", Ctrl+F, and the list menu's item: opens
    // the find window.
    void Findstations1Click();
    // What the find window does with a result: played as the list's play
    // command plays, added at the top of the list (shown at once), or put
    // in a favourite slot.
    void PlayDirectoryStation(const QString &name, const QByteArray &url) override;
    void AddStationLine(const QString &line) override;
    void SetFavoriteUrl(int slot, const QByteArray &url) override;
    // Reads DirectoryServer of section Main (LoadSettings); never written.
    void LoadDirectorySetting(const IniFile &ini);
    // The directory server the settings name, empty: look the servers up.
    QString DirectoryServer;

    // ---- tray icon (TForm1Tray.cpp) ----
    void TrayIcon1Click();
    void TrayIcon1DblClick();
    // Bound to the application's minimise by FormCreate: hides the window
    // to the tray, when there is one.
    void TrayIcon1MinimizeToTray();
    void Quorane1Click();
    void Restore1Click();
    bool HiddenInTray() const override { return hiddenInTray_; }

    // ---- status bar ----
    void SetStatusPanel(int index, const QString &text) override;
    QString StatusPanel(int index) const override;

    // ---- what the player shows (the now-playing panel, captions) ----
    void SetNowPlaying(const QString &text) override;
    QString NowPlaying() const override;
    void SetTitles(const QString &title) override;
    // While a stream opens, list edits and dialogs wait: their commands are
    // disabled until the open ends.
    void SetConnecting(bool connecting) override;

    // The desktop's media controls (TForm1Mpris.cpp); null without a session bus.
    MprisService *Mpris = nullptr;

    // ---- song history, title notifications, sleep timer (TForm1History.cpp) ----
    void Songhistory1Click();
    // File > Sleep timer: 0 (Off), 15, 30, 60 or 90 minutes.
    void SleepTimerClick(int minutes);
    // Plays the filled favourite slot `step` (1 or -1) away from the one
    // playing, wrapping around; with the station in no slot, the first
    // filled slot (step 1) or the last. False when every slot is free.
    bool PlayNextFavorite(int step);
    bool AnyFavorite() const;
    // Status panel 3: the sleep timer's minutes while it runs. Whatever
    // else the panel shows is joined here.
    void UpdateStatusPanel3();
    void StreamTitleHeard(const QString &title) override;
    // What the title is recorded and notified under: the station as the
    // now-playing panel named it before the titles came.
    QString HeardStation() const;
    // The main window as the listener sees it: shown, not minimised and the
    // active window. Titles are notified only when it is not.
    bool SeenByListener() const;
    // Created with the window unless the start-up was aborted; null then.
    SongHistory *History = nullptr;
    TitleNotifier *Notifier = nullptr;
    SleepTimer *Sleep = nullptr;
    // The "Song history" window, created by the program after the dialogs
    // and owned by it; null until then.
    TFormHistory *FormHistory = nullptr;
    // The sleep timer's choices, in the order of its submenu.
    static constexpr std::array<int, 5> SleepMinutes{0, 15, 30, 60, 90};

Q_SIGNALS:
    // A stream title reached the captions.
    void TitlesChanged(const QString &title);
    // A status panel changed: the player may have started or stopped.
    void PlayerViewChanged();

public:
    // ---- data ----
    // The playback values and the loaded engine. Declared before Player,
    // which works on it and must go first.
    PlaybackState Playback;
    // Opens and plays streams, and follows their notifications.
    std::unique_ptr<StreamPlayer> Player;
    StationList Stations;
    // Favourite slots 1 ... 14 (index 0 ... 13), 8-bit text in the code page.
    std::array<QByteArray, 14> FavoriteUrls;
    SkinManager *sSkinManager1 = nullptr;
    TrayIcon *TrayIcon1 = nullptr;
    StationListModel *Model = nullptr;
    // The two dialogs, created by the program after this window and owned by
    // it; set right after their creation, null until then.
    TForm2 *Form2 = nullptr;
    TForm3 *Form3 = nullptr;
    // The find window, created by the program after the dialogs; null until then.
    TFormFindStations *FormFind = nullptr;

    // ---- controls ----
    QMenuBar *MainMenu1 = nullptr;
    StationListView *sListView1 = nullptr;
    QFrame *sPanel3 = nullptr;
    std::array<QPushButton *, 14> sButton{};
    QGroupBox *sGroupBox1 = nullptr;
    QLineEdit *sEdit1 = nullptr;
    QLabel *sPanel1 = nullptr;
    QSlider *sTrackBar1 = nullptr;
    QStatusBar *sStatusBar1 = nullptr;
    std::array<QLabel *, 4> StatusPanels{};

    // ---- menus ----
    QMenu *PopupMenu1 = nullptr; // the tray menu
    QMenu *PopupMenu2 = nullptr; // the list menu
    // The main menu's drop-downs and the submenus; "Skins" is never shown.
    QMenu *File1 = nullptr, *List1 = nullptr, *Skins1 = nullptr, *Help1 = nullptr,
          *Playfavorite1 = nullptr, *Settofavorite1 = nullptr, *N5 = nullptr;
    // "Available skins", the first item of the File menu.
    SkinMenu *Availableskins1 = nullptr;
    QAction *Settings1 = nullptr, *Exit1 = nullptr, *Addanewstation1 = nullptr,
            *Downloadlistfromserver1 = nullptr, *Loadlist1 = nullptr, *Savelist1 = nullptr,
            *Clearlist1 = nullptr, *Snow1 = nullptr, *Update1 = nullptr, *Onlinesupport1 = nullptr,
            *About1 = nullptr;
    std::array<QAction *, 14> PlaySlot{}; // Slot12 ... Slot142
    std::array<QAction *, 14> SetSlot{};  // Slot11 ... Slot141
    QAction *Addanewstation2 = nullptr, *Deletestation1 = nullptr, *Volume1001 = nullptr,
            *Mute1 = nullptr;
    // List > "Find stations..." and the list menu's "Find stations...".
    QAction *Findstations1 = nullptr, *Findstations2 = nullptr;
    QAction *Quorane1 = nullptr, *Restore1 = nullptr, *Stop1 = nullptr, *Exit2 = nullptr;
    // File > "Notify on title change" (a tick), File > "Sleep timer" with
    // its radio items (SleepMinutes), List > "Song history".
    QAction *Notifyontitlechange1 = nullptr, *Songhistory1 = nullptr;
    QMenu *Sleeptimer1 = nullptr;
    std::array<QAction *, SleepMinutes.size()> SleepItem{};

    // The top of the client area: the menu bar sits above it, and the layout's
    // positions count from here.
    int ClientTop() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    // The search box's click and Enter.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildLayout();
    void BuildMenus();
    void ConnectHandlers();
    // A skin changes the menu bar's height: the window grows or shrinks by
    // as much, so that the client area keeps its laid-out size (TForm1Skin.cpp).
    void SkinApplied();
    int laidOutTop_ = 0;
    void CreateTrayIcon();
    void CreateMpris();
    // The song history read from its file, the notifier and the sleep timer.
    void CreateHistory();
    // At exit: the history to its file.
    void SaveHistory();
    // The list's name of the station playing, when it was played from a
    // list; empty for a favourite slot or the desktop's Play.
    QString playingName_;
    // The favourite slot played last (1 ... 14), 0 when none: Next and
    // Previous step from it while it still holds the URL playing.
    int playingSlot_ = 0;
    // The last stream title and the URL it came with.
    QString streamTitle_;
    QByteArray streamTitleUrl_;
    // Places the controls by their anchors for the current size.
    void ArrangeControls();
    // Lets menu shortcuts win over the focused control.
    ShortcutFilter *shortcutFilter_ = nullptr;
    // What start-up learnt about the station file, so that a file that exists
    // but could not be read is not replaced at exit by a list the user never
    // changed. True until the read succeeds (or finds no file to keep), so a
    // start-up that fails before the read leaves the file alone too.
    bool stationFileUnread_ = true;
    quint64 stationsRevisionAtStart_ = 0;
    // Set while TrayIcon1MinimizeToTray has the window hidden in the tray.
    bool hiddenInTray_ = false;
    // LoadSettings read the settings file: only then does SaveSettings
    // write it, so a file that could not be read keeps the user's keys.
    bool settingsRead_ = false;
};
