#pragma once
// StationListView: the station list's view. A plain table view, except for
// the keys and clicks the main window handles itself: Enter and Esc go to the
// window instead of the view, the release of Delete is reported, a
// double-click anywhere in the view (also below the last row) is reported,
// and typing letters does not jump to a row: finding a station is the search
// box's job. UI thread.
#include <QTableView>

class StationListView : public QTableView {
    Q_OBJECT
public:
    explicit StationListView(QWidget *parent = nullptr);

    // The view's own type-ahead is switched off.
    void keyboardSearch(const QString &search) override;

Q_SIGNALS:
    // Enter (13) or Esc (27) was pressed in the view.
    void CharacterKey(char16_t key);
    // A key was released in the view (auto-repeat releases are not reported).
    void KeyReleased(int key, Qt::KeyboardModifiers modifiers);
    // The left button was double-clicked somewhere in the rows' area.
    void DoubleClicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};
