#include "shell/BuiltInSkins.h"

namespace {

// The winter look. The skins in data/Skins follow the same layout of rules,
// so a skin author can start from any of them.
const char *const Winter2003 = R"qss(
/* Quorane skin "Winter2003 (internal)": white and ice-blue, Quorane's own
   palette: window=#eef5fb windowtext=#1a2b3c base=#ffffff alternatebase=#f3f8fd text=#1a2b3c button=#ffffff buttontext=#1a2b3c highlight=#3d7fc4 highlightedtext=#ffffff tooltipbase=#ffffff tooltiptext=#1a2b3c placeholdertext=#8a9aab link=#3d7fc4 light=#ffffff mid=#a9c7e2 dark=#a9c7e2 shadow=#7fa7cf
*/

/* The windows and dialogs */
TForm1, TForm2, TForm3, QDialog, QMessageBox {
    background-color: #eef5fb;
    color: #1a2b3c;
}
QLabel { color: #1a2b3c; background: transparent; }

/* Menus */
QMenuBar {
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fbfdff, stop:1 #dcebf7);
    color: #1a2b3c;
    border-bottom: 1px solid #a9c7e2;
}
QMenuBar::item { background: transparent; padding: 3px 9px; }
QMenuBar::item:selected, QMenuBar::item:pressed { background-color: #cfe3f5; color: #1a2b3c; border-radius: 3px; }
QMenu {
    background-color: #ffffff;
    color: #1a2b3c;
    border: 1px solid #7fa7cf;
    padding: 3px 0px;
}
QMenu::item { padding: 4px 26px 4px 26px; border: 1px solid transparent; }
QMenu::item:selected { background-color: #cfe3f5; color: #1a2b3c; border-color: #a9c7e2; }
QMenu::item:disabled { color: #8a9aab; }
QMenu::separator { height: 1px; background: #a9c7e2; margin: 3px 8px; }
QMenu::indicator { width: 11px; height: 11px; left: 7px; border: 1px solid #7fa7cf; border-radius: 6px; background: #ffffff; }
QMenu::indicator:checked { background: qradialgradient(cx:0.5, cy:0.5, radius:0.5, fx:0.5, fy:0.5, stop:0 #3d7fc4, stop:0.55 #3d7fc4, stop:0.65 #ffffff); }
QMenu::right-arrow { width: 8px; height: 8px; }

/* The station list and its header */
QTableView {
    background-color: #ffffff;
    alternate-background-color: #f3f8fd;
    color: #1a2b3c;
    gridline-color: #dde9f4;
    border: 1px solid #a9c7e2;
    selection-background-color: #3d7fc4;
    selection-color: #ffffff;
}
QTableView::item:selected { background-color: #3d7fc4; color: #ffffff; }
QHeaderView { background-color: #dcebf7; border: none; }
QHeaderView::section {
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fbfdff, stop:1 #dcebf7);
    color: #1a2b3c;
    padding: 2px 5px;
    border: none;
    border-right: 1px solid #a9c7e2;
    border-bottom: 1px solid #a9c7e2;
}
QHeaderView::section:hover { background-color: #cfe3f5; }
QTableCornerButton::section { background-color: #dcebf7; border: 1px solid #a9c7e2; }

QScrollBar:vertical { background: #f3f8fd; width: 14px; margin: 0px; border-left: 1px solid #a9c7e2; }
QScrollBar:horizontal { background: #f3f8fd; height: 14px; margin: 0px; border-top: 1px solid #a9c7e2; }
QScrollBar::handle:vertical { background: #b9d4ec; min-height: 24px; margin: 2px; border-radius: 4px; }
QScrollBar::handle:horizontal { background: #b9d4ec; min-width: 24px; margin: 2px; border-radius: 4px; }
QScrollBar::handle:hover { background: #3d7fc4; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0px; height: 0px; border: none; background: none; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }

/* Buttons, edits and the check box */
QPushButton {
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #d9e9f7);
    color: #1a2b3c;
    border: 1px solid #7fa7cf;
    border-radius: 3px;
    padding: 2px 8px;
}
QPushButton:hover { background-color: #cfe3f5; }
QPushButton:pressed { background-color: #b5d2ed; }
QPushButton:default { border: 2px solid #3d7fc4; }
QPushButton:focus { border-color: #3d7fc4; }
QPushButton:disabled { color: #8a9aab; border-color: #a9c7e2; }

QLineEdit {
    background-color: #ffffff;
    color: #1a2b3c;
    border: 1px solid #7fa7cf;
    border-radius: 2px;
    padding: 1px 3px;
    selection-background-color: #3d7fc4;
    selection-color: #ffffff;
}
QLineEdit:focus { border: 1px solid #3d7fc4; }
QLineEdit:disabled { color: #8a9aab; }

QCheckBox { color: #1a2b3c; spacing: 6px; background: transparent; }
QCheckBox::indicator { width: 12px; height: 12px; border: 1px solid #7fa7cf; border-radius: 2px; background: #ffffff; }
QCheckBox::indicator:hover { border-color: #3d7fc4; }
QCheckBox::indicator:checked { background: qradialgradient(cx:0.5, cy:0.5, radius:0.6, fx:0.5, fy:0.5, stop:0 #3d7fc4, stop:0.6 #3d7fc4, stop:0.7 #ffffff); border-color: #3d7fc4; }

/* Panels: the favourite row, the strip below it, the now-playing panel */
TForm1 > .QFrame, TForm3 > .QFrame {
    background-color: #e4eff9;
    border: 1px solid #a9c7e2;
    border-radius: 4px;
}
QGroupBox {
    background-color: #e4eff9;
    border: 1px solid #a9c7e2;
    border-radius: 4px;
    color: #1a2b3c;
}
TForm2 QGroupBox { margin-top: 6px; padding-top: 6px; }
QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 8px; padding: 0px 3px; color: #1a2b3c; background-color: #eef5fb; }
QGroupBox > QLabel {
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #cde3f6);
    color: #0f3a66;
    border: 1px solid #7fa7cf;
    border-radius: 4px;
}

/* The volume slider */
QSlider { background: transparent; }
QSlider::groove:horizontal { height: 6px; background: #d3e5f4; border: 1px solid #a9c7e2; border-radius: 3px; }
QSlider::sub-page:horizontal { background: #3d7fc4; border: 1px solid #7fa7cf; border-radius: 3px; }
QSlider::handle:horizontal { width: 12px; margin: -5px 0px; background: #ffffff; border: 1px solid #7fa7cf; border-radius: 6px; }
QSlider::handle:horizontal:hover, QSlider::handle:horizontal:focus { border-color: #3d7fc4; background: #cfe3f5; }

/* The status bar */
QStatusBar { background-color: #dcebf7; color: #1a2b3c; border-top: 1px solid #a9c7e2; }
QStatusBar::item { border: none; }
QStatusBar QLabel { background-color: #eef5fb; color: #1a2b3c; border: 1px solid #a9c7e2; padding: 0px 4px; }

QToolTip { background-color: #ffffff; color: #1a2b3c; border: 1px solid #7fa7cf; }
)qss";

} // namespace

const QList<SkinFile> &BuiltInSkins::All() {
    static const QList<SkinFile> skins = [] {
        QList<SkinFile> out;
        if (auto winter = SkinFile::FromText(QStringLiteral("Winter2003 (internal)"),
                                             QString::fromUtf8(Winter2003)))
            out.append(*winter);
        return out;
    }();
    return skins;
}
