#pragma once
// TForm3: the "Add a new station" dialog. The user types a station's six
// fields; Add puts the station at the top of the main window's list and,
// when "Also share this station with other listeners" is ticked, submits it
// to the list server. The dialog lives from start-up to shutdown and keeps
// what was typed between openings. It also owns IdHTTP1, the one list-server
// client, which the main window's Download and Update commands use.
// UI thread only.
#include "online/TIdHTTP.h"
#include "window/TFormINI.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class StationList;
class StationListModel;

class TForm3 : public TFormINI {
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);

    // Add: inserts the station at row 0 and, when sharing, posts it.
    void sButton1Click();
    // Cancel: closes the dialog.
    void sButton2Click();

    // The station line that Add builds from the edits: the six fields each
    // followed by a tab, then one more tab for the empty additional URL.
    QString StationLine() const;
    // The form that Add submits.
    QStringList FormFields() const;

    // The main window's list and its view model, which Add changes; set by
    // the program after both windows exist. The dialog knows the list, not
    // the window that shows it.
    StationList *Stations = nullptr;
    StationListModel *Model = nullptr;
    // The list-server client.
    TIdHTTP IdHTTP1;

    QFrame *sPanel1 = nullptr;
    QLabel *sLabel1 = nullptr, *sLabel2 = nullptr, *sLabel3 = nullptr, *sLabel4 = nullptr,
           *sLabel5 = nullptr, *sLabel6 = nullptr;
    QLineEdit *sEdit1 = nullptr; // station name
    QLineEdit *sEdit2 = nullptr; // stream URL
    QLineEdit *sEdit3 = nullptr; // genre
    QLineEdit *sEdit4 = nullptr; // country
    QLineEdit *sEdit5 = nullptr; // language
    QLineEdit *sEdit6 = nullptr; // description
    QCheckBox *sCheckBox1 = nullptr;
    QPushButton *sButton1 = nullptr; // Add, the default button
    QPushButton *sButton2 = nullptr; // Cancel

protected:
    // Enter presses the focused button, else Add; Esc cancels.
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The line the last Add inserted when its submission failed: an Add
    // with the same texts while it still heads the list only tries the
    // submission again, so the station is not in the list twice.
    QString unsentLine_;
};
