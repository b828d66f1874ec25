#pragma once
// TFormHistory: the "Song history" window. It shows every title heard,
// newest first, in a table of time, station and title, narrowed as the
// user types into the filter box. Ctrl+C copies the selected titles, one a
// line; "Search the web" looks the selected title up in the browser;
// "Clear history" empties the history after asking. The window is created
// at start-up, hidden, and lives for the whole run; it only shows the
// history, which the main window owns and records into. UI thread only.
#include "window/TFormINI.h"

class QAction;
class QKeyEvent;
class QLineEdit;
class QPushButton;
class QTableView;
class SongHistory;
class SongHistoryModel;

class TFormHistory : public TFormINI {
    Q_OBJECT
public:
    // `history` is the main window's, which outlives this window.
    explicit TFormHistory(SongHistory &history, QWidget *parent = nullptr);

    // Shows the window in front, or brings it there.
    void ShowInFront();

    // ---- handlers ----
    void sEdit1Change();  // the filter text changed
    void Copy1Click();    // Ctrl+C
    void sButton1Click(); // "Search the web"
    void sButton2Click(); // "Clear history"
    void SelectionChanged();

    // The titles of the selected rows, top to bottom.
    QStringList SelectedTitles() const;
    // The web address that "Search the web" opens for `title`.
    static QString SearchUrl(const QString &title);

    // ---- controls ----
    QLineEdit *sEdit1 = nullptr;      // the filter box
    QTableView *sListView1 = nullptr; // the history
    QPushButton *sButton1 = nullptr;  // "Search the web"
    QPushButton *sButton2 = nullptr;  // "Clear history"
    QAction *Copy1 = nullptr;         // Ctrl+C
    SongHistoryModel *Model = nullptr;

protected:
    // Esc closes the window, as it does any secondary window.
    void keyPressEvent(QKeyEvent *event) override;

private:
    SongHistory &history_;
};
