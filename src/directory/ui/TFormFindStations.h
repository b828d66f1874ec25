#pragma once
// TFormFindStations: the "Find stations" window, Quorane's way into the
// community station directory. The user types part of a name and narrows
// by tag, country, language, codec, bitrate and working streams; the
// search runs by itself a moment after the last key, and the results fill
// a table a page at a time as it is scrolled. A result plays as a station
// of the list plays, goes to the top of the station list or into a
// favourite slot, through the DirectoryHost (the main window). Non-modal;
// created at start-up, shown by List > Find stations..., and destroyed at
// shutdown with its geometry kept like every window's. Nothing is sent to
// the directory before the window is first opened. UI thread only.
#include "directory/DirectoryQuery.h"
#include "directory/DnsResolver.h"
#include "window/TFormINI.h"

#include <array>
#include <memory>

class DirectoryClient;
class DirectoryHost;
class DirectoryResultsModel;
class DirectorySearch;
class QAction;
class QCheckBox;
class QComboBox;
class QJsonDocument;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStringListModel;
class QTableView;
class QTimer;

class TFormFindStations : public TFormINI {
    Q_OBJECT
public:
    // `server`: the settings' directory server (empty: look the servers up
    // through `resolver`, the system's name service when null).
    TFormFindStations(DirectoryHost &host, const QString &server,
                      std::unique_ptr<DnsResolver> resolver = nullptr, QWidget *parent = nullptr);
    ~TFormFindStations() override;

    // Shows the window in front with the focus in the name box (never
    // minimised: the user asked to see it). The first opening fetches the
    // drop-downs' lists and shows the stations with the most votes.
    void Open();

    // ---- handlers (TFormFindStationsActions.cpp) ----
    // A key or a filter changed: the search starts after a pause.
    void FilterChange();
    // The pause is over: the search of what the window shows starts.
    void Timer1Timer();
    // Enter in the name or tag box: plays the first result, once the search
    // for what was typed has answered.
    void PlayFirstResult();
    // Plays result `row` and tells the directory of the click.
    void PlayResult(int row);
    // Insert, "Add to list": the current result at the top of the station list.
    void Addtolist1Click();
    // "Put in favourite slot" > "Slot n".
    void PutInSlotClick(int slot);
    void Openhomepage1Click();
    // The table was scrolled: at its end the next page is fetched.
    void ResultsScrolled();
    // The selected result, or -1.
    int CurrentResult() const;
    // The query the controls describe now.
    DirectoryQuery QueryFromControls() const;

    // ---- parts ----
    DirectoryClient *Client = nullptr;
    DirectoryResultsModel *Results = nullptr;
    DirectorySearch *Search = nullptr;

    // ---- controls ----
    QLineEdit *sEdit1 = nullptr;          // station name
    QLineEdit *sEdit2 = nullptr;          // tag, completed from the directory's tags
    QComboBox *sComboBox1 = nullptr;      // country
    QComboBox *sComboBox2 = nullptr;      // language
    QComboBox *sComboBox3 = nullptr;      // codec
    QComboBox *sComboBox4 = nullptr;      // minimum bitrate
    QComboBox *sComboBox5 = nullptr;      // order
    QCheckBox *sCheckBox1 = nullptr;      // "Only stations that work"
    QTableView *sListView1 = nullptr;     // the results
    QPushButton *sButton1 = nullptr;      // "Play"
    QPushButton *sButton2 = nullptr;      // "Add to list"
    QLabel *sStatusLine = nullptr;        // what is going on
    QTimer *Timer1 = nullptr;             // the pause after the last key
    QStringListModel *TagNames = nullptr; // the completion's tags

    // ---- the results' menu ----
    QMenu *PopupMenu1 = nullptr;
    QMenu *Putinfavoriteslot1 = nullptr;
    QAction *Play1 = nullptr, *Addtolist1 = nullptr, *Openhomepage1 = nullptr;
    std::array<QAction *, 14> Slot{}; // "Slot 1" ... "Slot 14"

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // Enter and Down in the name box, Enter and Up in the table.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildLayout();
    void BuildMenu();
    void ConnectHandlers();
    // The drop-downs' lists, fetched at the first opening (again at the
    // next one when they could not be had).
    void FetchLists();
    void FillChoices(QComboBox *box, const QJsonDocument &json);
    void SearchAnswered(bool ok);
    void ShowStatus(const QString &text);
    void ShowMenu(const QPoint &pos);
    // The homepage of result `row` when it is a web address, else empty.
    QString Homepage(int row) const;

    DirectoryHost &host_;
    bool opened_ = false;
    int listsWanted_ = 0; // lists not fetched yet, as bits
    // Enter came before the answer to what was typed: the first result of
    // that answer plays.
    bool playFirstWhenAnswered_ = false;
};
