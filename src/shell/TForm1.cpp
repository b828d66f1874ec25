// The main window as the user sees it: its controls placed by hand at their
// fixed positions and anchored on resize, its menus and shortcuts, and the
// shell's own commands. The list's handlers are in TForm1List.cpp, the
// playback ones in TForm1Playback.cpp, start-up and shutdown in
// TForm1Lifecycle.cpp.
#include "shell/TForm1.h"

#include "online/ui/TForm2.h"
#include "online/ui/TForm3.h"
#include "platform/Prompts.h"
#include "playback/StreamPlayer.h"
#include "shell/QuoraneIcon.h"
#include "shell/ShortcutFilter.h"
#include "shell/SkinManager.h"
#include "shell/SkinMenu.h"
#include "shell/StationListView.h"
#include "shell/TrayIcon.h"
#include "stations/StationListModel.h"
#include "window/Dispatch.h"

#include <QActionGroup>
#include <QApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>

namespace {

// The laid-out client area; the anchors keep each control's distances to
// the edges it is anchored to as they are at this size.
constexpr int DesignWidth = 812;
constexpr int DesignHeight = 423;
constexpr int StatusBarHeight = 19;

const QString HelpPage = QStringLiteral("https://quorane.org/help.quorane.html");

// Tahoma where the desktop has it, else its ordinary sans-serif.
QFont WindowFont(int points, bool bold = false, bool italic = false) {
    const QString family = QFontDatabase::hasFamily(QStringLiteral("Tahoma"))
                               ? QStringLiteral("Tahoma")
                               : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    QFont font(family, points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

} // namespace

TForm1::TForm1(QWidget *parent)
    : TFormINI(parent), Player(std::make_unique<StreamPlayer>(Playback, *this)) {
    setWindowTitle(QStringLiteral("Quorane"));
    sSkinManager1 = new SkinManager(this);
    Model = new StationListModel(&Stations, this);
    BuildLayout();
    BuildMenus();
    CreateTrayIcon();
    // The menu bar's height is known once it holds its menus.
    resize(DesignWidth, DesignHeight + ClientTop());
    laidOutTop_ = ClientTop();
    ArrangeControls();
    Connect(sSkinManager1, &SkinManager::SkinChanged, this, &TForm1::SkinApplied);
    ConnectHandlers();
    shortcutFilter_ = new ShortcutFilter(this);
    Dispatch([&] { FormCreate(); });
    if (!StartupAborted) {
        CreateHistory();
        CreateMpris();
    }
}

// The player goes first (it waits for its open workers and releases the
// stream), then the engine is unloaded with Playback.
TForm1::~TForm1() {
    // The tray goes before its menu, which it empties on its way out.
    delete TrayIcon1;
}

int TForm1::ClientTop() const {
    return MainMenu1 ? MainMenu1->sizeHint().height() : 0;
}

void TForm1::BuildLayout() {
    setFont(WindowFont(8));
    setWindowIcon(QuoraneIcon::Icon());
    MainMenu1 = new QMenuBar(this);

    sStatusBar1 = new QStatusBar(this);
    sStatusBar1->setSizeGripEnabled(true);
    const int panelWidths[4] = {400, 85, 170, 50};
    for (int i = 0; i < 4; ++i) {
        StatusPanels[i] = new QLabel(sStatusBar1);
        StatusPanels[i]->setFixedWidth(panelWidths[i]);
        StatusPanels[i]->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        sStatusBar1->addWidget(StatusPanels[i]);
    }

    sListView1 = new StationListView(this);
    sListView1->setModel(Model);
    sListView1->setShowGrid(true);
    sListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    sListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    sListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sListView1->setSortingEnabled(false);
    sListView1->setWordWrap(false);
    sListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette palette = sListView1->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    // The selection stays as visible as with the focus, so the user sees what
    // Enter and the digit keys will act on while typing in the search box.
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    sListView1->setPalette(palette);
    QHeaderView *rows = sListView1->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(sListView1->fontMetrics().height() + 4);
    QHeaderView *columns = sListView1->horizontalHeader();
    columns->setSectionsClickable(true);
    columns->setSortIndicatorShown(false);
    columns->setHighlightSections(false);
    // Captions start at the left as the rows' texts do, so a narrow column
    // still shows the beginning of its caption.
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setStretchLastSection(false);
    columns->setMinimumSectionSize(20);
    const int columnWidths[StationListModel::ColumnCount] = {50, 200, 70, 70, 200, 50, 50, 50};
    for (int c = 0; c < StationListModel::ColumnCount; ++c)
        columns->resizeSection(c, columnWidths[c]);

    sPanel3 = new QFrame(this);
    for (int n = 1; n <= 14; ++n) {
        auto *button = new QPushButton(QString::number(n), sPanel3);
        button->setFont(WindowFont(8, true));
        button->setGeometry(7 + 56 * (n - 1), 5, 50, 25);
        sButton[n - 1] = button;
    }

    sGroupBox1 = new QGroupBox(this);
    sTrackBar1 = new QSlider(Qt::Horizontal, sGroupBox1);
    sTrackBar1->setRange(0, 100);
    sTrackBar1->setValue(50);
    sTrackBar1->setTickPosition(QSlider::NoTicks);
    sTrackBar1->setFocusPolicy(Qt::StrongFocus);
    sEdit1 = new QLineEdit(QStringLiteral("Search..."), sGroupBox1);
    sEdit1->setFont(WindowFont(10, true, true));
    QPalette edit = sEdit1->palette();
    edit.setColor(QPalette::Base, Qt::white);
    edit.setColor(QPalette::Text, Qt::black);
    sEdit1->setPalette(edit);
    sEdit1->setGeometry(16, 20, 153, 24);
    sEdit1->installEventFilter(this);
    sPanel1 = new QLabel(QStringLiteral("Quorane"), sGroupBox1);
    sPanel1->setFont(WindowFont(12, true, true));
    sPanel1->setAlignment(Qt::AlignCenter);
    sPanel1->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);

    // Tab order as laid out: the list, then the strip (slider, search box),
    // then the favourite buttons.
    QWidget *previous = sListView1;
    for (QWidget *next : {static_cast<QWidget *>(sTrackBar1), static_cast<QWidget *>(sEdit1)}) {
        setTabOrder(previous, next);
        previous = next;
    }
    for (QPushButton *button : sButton) {
        setTabOrder(previous, button);
        previous = button;
    }

    setMinimumSize(480, 320);
}

void TForm1::ArrangeControls() {
    const int top = ClientTop();
    const int w = width();
    const int h = height() - top;
    // Distances kept to the right and bottom edges at the laid-out size.
    const int right = DesignWidth - (8 + 796);
    const int listBottom = DesignHeight - (8 + 294);
    const int panel3Top = DesignHeight - 308;
    const int groupTop = DesignHeight - 342;

    MainMenu1->setGeometry(0, 0, w, top);
    sStatusBar1->setGeometry(0, top + h - StatusBarHeight, w, StatusBarHeight);
    sListView1->setGeometry(8, top + 8, w - 8 - right, h - 8 - listBottom);
    sPanel3->setGeometry(8, top + h - panel3Top, w - 8 - right, 37);
    sGroupBox1->setGeometry(8, top + h - groupTop, w - 8 - right, 57);
    // Inside the strip: the search box stays at the left (placed once), the
    // slider keeps its distance to the right edge, the panel takes the rest.
    const int gw = sGroupBox1->width();
    const int sliderRight = 796 - (635 + 150);
    const int panelRight = 796 - (176 + 452);
    sTrackBar1->setGeometry(gw - sliderRight - 150, 20, 150, 29);
    sPanel1->setGeometry(176, 16, qMax(0, gw - panelRight - 176), 33);
}

void TForm1::showEvent(QShowEvent *event) {
    // The style may give the menu bar another height once it is polished.
    ArrangeControls();
    TFormINI::showEvent(event);
}

void TForm1::resizeEvent(QResizeEvent *event) {
    TFormINI::resizeEvent(event);
    if (sListView1)
        ArrangeControls();
}

void TForm1::BuildMenus() {
    const auto item = [this](QMenu *menu, const QString &caption,
                             const QKeySequence &shortcut = QKeySequence()) {
        QAction *action = menu->addAction(caption);
        if (!shortcut.isEmpty()) {
            action->setShortcut(shortcut);
            action->setShortcutContext(Qt::WindowShortcut);
            // The window holds the action too, so its shortcut works wherever
            // the focus is in the window.
            addAction(action);
        }
        return action;
    };

    File1 = MainMenu1->addMenu(QStringLiteral("File"));
    // The skin list opens the File menu: the window manager keeps the
    // window menu to itself, and a user looks for the look among the
    // program's settings.
    Availableskins1 = new SkinMenu(sSkinManager1, this);
    File1->addMenu(Availableskins1);
    File1->addSeparator();
    Settings1 = item(File1, QStringLiteral("Proxy settings"), Qt::CTRL | Qt::Key_P);
    File1->addSeparator();
    Notifyontitlechange1 = item(File1, QStringLiteral("Notify on title change"));
    Notifyontitlechange1->setCheckable(true);
    Notifyontitlechange1->setChecked(true);
    Sleeptimer1 = File1->addMenu(QStringLiteral("Sleep timer"));
    auto *sleeps = new QActionGroup(this);
    sleeps->setExclusive(true);
    for (size_t i = 0; i < SleepMinutes.size(); ++i) {
        SleepItem[i] = item(Sleeptimer1, SleepMinutes[i] == 0
                                             ? QStringLiteral("Off")
                                             : QStringLiteral("%1 minutes").arg(SleepMinutes[i]));
        SleepItem[i]->setCheckable(true);
        sleeps->addAction(SleepItem[i]);
    }
    SleepItem[0]->setChecked(true);
    File1->addSeparator();
    Exit1 = item(File1, QStringLiteral("Exit"));

    List1 = MainMenu1->addMenu(QStringLiteral("List"));
    Addanewstation1 = item(List1, QStringLiteral("Add a new station"), Qt::CTRL | Qt::Key_N);
    List1->addSeparator();
    Downloadlistfromserver1 = item(List1, QStringLiteral("Download list from server"));
    List1->addSeparator();
    Playfavorite1 = List1->addMenu(QStringLiteral("Play favorite"));
    for (int n = 1; n <= 14; ++n) {
        // Slots 1 ... 9 on their digits, 10 on 0, 11 ... 14 on Alt+1 ... Alt+4.
        const QKeySequence key = n <= 9    ? QKeySequence(Qt::Key_0 + n)
                                 : n == 10 ? QKeySequence(Qt::Key_0)
                                           : QKeySequence(Qt::ALT | Qt::Key(Qt::Key_0 + n - 10));
        PlaySlot[n - 1] = item(Playfavorite1, QStringLiteral("Slot %1").arg(n), key);
    }
    List1->addSeparator();
    Loadlist1 = item(List1, QStringLiteral("Load list"), Qt::CTRL | Qt::Key_O);
    Savelist1 = item(List1, QStringLiteral("Save list"), Qt::CTRL | Qt::Key_S);
    Clearlist1 = item(List1, QStringLiteral("Clear list"), Qt::CTRL | Qt::Key_Delete);
    List1->addSeparator();
    Songhistory1 = item(List1, QStringLiteral("Song history"), Qt::CTRL | Qt::Key_H);
    // The community directory: a group of its own.
    List1->addSeparator();
    Findstations1 = item(List1, QStringLiteral("Find stations..."), Qt::CTRL | Qt::Key_F);
    List1->addSeparator();

    Skins1 = MainMenu1->addMenu(QStringLiteral("Skins"));
    Skins1->menuAction()->setVisible(false);
    auto *skins = new QActionGroup(this);
    skins->setExclusive(true);
    Snow1 = item(Skins1, QStringLiteral("Snow"));
    Snow1->setCheckable(true);
    Snow1->setChecked(true);
    skins->addAction(Snow1);
    Skins1->setDefaultAction(Snow1);
    QFont bold = Snow1->font();
    bold.setBold(true);
    Snow1->setFont(bold);

    Help1 = MainMenu1->addMenu(QStringLiteral("Help"));
    Update1 = item(Help1, QStringLiteral("Update"));
    Onlinesupport1 = item(Help1, QStringLiteral("Online homepage"), Qt::Key_F1);
    Help1->addSeparator();
    About1 = item(Help1, QStringLiteral("About"));

    PopupMenu2 = new QMenu(this);
    Addanewstation2 = item(PopupMenu2, QStringLiteral("Add a new station"));
    Deletestation1 = item(PopupMenu2, QStringLiteral("Delete station"));
    Settofavorite1 = PopupMenu2->addMenu(QStringLiteral("Set to favorite"));
    for (int n = 1; n <= 14; ++n)
        SetSlot[n - 1] = item(Settofavorite1, QStringLiteral("Slot %1").arg(n));
    PopupMenu2->addSeparator();
    N5 = PopupMenu2->addMenu(QStringLiteral("Volume control"));
    Volume1001 = item(N5, QStringLiteral("Volume 100%"));
    Mute1 = item(N5, QStringLiteral("Mute"));
    // Last, so the items above keep their places for the keyboard.
    PopupMenu2->addSeparator();
    Findstations2 = item(PopupMenu2, QStringLiteral("Find stations..."));

    // The tray menu, opened by the tray icon TrayIcon1.
    PopupMenu1 = new QMenu(this);
    Quorane1 = item(PopupMenu1, QStringLiteral("Quorane"));
    Quorane1->setIcon(windowIcon());
    Quorane1->setFont(bold);
    PopupMenu1->setDefaultAction(Quorane1);
    PopupMenu1->addSeparator();
    Restore1 = item(PopupMenu1, QStringLiteral("Show radio"));
    Stop1 = item(PopupMenu1, QStringLiteral("Stop"));
    Exit2 = item(PopupMenu1, QStringLiteral("Exit"));
}

void TForm1::ConnectHandlers() {
    // Every handler goes through Connect, so an error ends up in the error box.
    const auto on = [this](QAction *action, void (TForm1::*handler)()) {
        Connect(action, &QAction::triggered, this, handler);
    };
    on(Settings1, &TForm1::Settings1Click);
    on(Exit1, &TForm1::Exit1Click);
    on(Addanewstation1, &TForm1::Addanewstation1Click);
    on(Downloadlistfromserver1, &TForm1::Downloadlistfromserver1Click);
    on(Loadlist1, &TForm1::Loadlist1Click);
    on(Savelist1, &TForm1::Savelist1Click);
    on(Clearlist1, &TForm1::Clearlist1Click);
    on(Snow1, &TForm1::Snow1Click);
    on(Update1, &TForm1::Update1Click);
    on(Onlinesupport1, &TForm1::Onlinesupport1Click);
    on(About1, &TForm1::About1Click);
    on(Addanewstation2, &TForm1::Addanewstation2Click);
    on(Deletestation1, &TForm1::Deletestation1Click);
    on(Volume1001, &TForm1::Volume1001Click);
    on(Mute1, &TForm1::Mute1Click);
    on(Stop1, &TForm1::Stop1Click);
    on(Exit2, &TForm1::Exit2Click);
    on(Quorane1, &TForm1::Quorane1Click);
    on(Restore1, &TForm1::Restore1Click);
    on(Songhistory1, &TForm1::Songhistory1Click);
    for (size_t i = 0; i < SleepMinutes.size(); ++i)
        Connect(SleepItem[i], &QAction::triggered, this,
                [this, minutes = SleepMinutes[i]] { SleepTimerClick(minutes); });
    on(Findstations1, &TForm1::Findstations1Click);
    on(Findstations2, &TForm1::Findstations1Click);
    for (int n = 1; n <= 14; ++n) {
        Connect(PlaySlot[n - 1], &QAction::triggered, this, [this, n] { PlayFavoriteClick(n); });
        Connect(SetSlot[n - 1], &QAction::triggered, this, [this, n] { SetFavoriteClick(n); });
        Connect(sButton[n - 1], &QPushButton::clicked, this, [this, n] { FavoriteButtonClick(n); });
    }
    Connect(sTrackBar1, &QSlider::valueChanged, this, [this] { sTrackBar1Change(); });

    Connect(sEdit1, &QLineEdit::textChanged, this, [this] { sEdit1Change(); });
    Connect(sListView1, &StationListView::DoubleClicked, this, &TForm1::sListView1DblClick);
    Connect(sListView1, &StationListView::CharacterKey, this,
            [this](char16_t key) { sListView1KeyPress(key); });
    Connect(sListView1, &StationListView::KeyReleased, this, &TForm1::sListView1KeyUp);
    Connect(sListView1->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &TForm1::sListView1ColumnClick);
    Connect(sListView1->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int size) {
                // The URL column is the one the user needs to read; it never
                // gets narrower than 100.
                if (column == StationListModel::UrlColumn && size < 100)
                    sListView1->horizontalHeader()->resizeSection(column, 100);
            });
    Connect(sListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        PopupMenu2->popup(sListView1->viewport()->mapToGlobal(pos));
    });
}

bool TForm1::eventFilter(QObject *watched, QEvent *event) {
    if (watched == sEdit1) {
        if (event->type() == QEvent::MouseButtonPress &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            Dispatch([&] { sEdit1Click(); });
        } else if (event->type() == QEvent::KeyPress) {
            const int k = static_cast<QKeyEvent *>(event)->key();
            if (k == Qt::Key_Return || k == Qt::Key_Enter) {
                char16_t key = 13;
                Dispatch([&] { sEdit1KeyPress(key); });
                return true;
            }
        }
    }
    return TFormINI::eventFilter(watched, event);
}

void TForm1::SetStatusPanel(int index, const QString &text) {
    StatusPanels.at(index)->setText(text);
    Q_EMIT PlayerViewChanged();
}

QString TForm1::StatusPanel(int index) const {
    return StatusPanels.at(index)->text();
}

void TForm1::keyPressEvent(QKeyEvent *event) {
    // A key reaches the window itself when no control has the focus, or when
    // the focused control passed it on; only the first is the window's.
    QWidget *focus = QApplication::focusWidget();
    if (focus && focus != this) {
        TFormINI::keyPressEvent(event);
        return;
    }
    char16_t key = event->key() == Qt::Key_Escape ? 27
                   : event->text().isEmpty()      ? 0
                                                  : event->text().front().unicode();
    Dispatch([&] { FormKeyPress(key); });
    if (key != 0)
        TFormINI::keyPressEvent(event);
}

void TForm1::FormKeyPress(char16_t &key) {
    if (key == 27) {
        key = 0;
        close();
    }
}

void TForm1::Exit1Click() {
    close();
}

void TForm1::Exit2Click() {
    close();
}

void TForm1::About1Click() {
    Prompts::Current().Message(this, QStringLiteral("Quorane"),
                               QStringLiteral("Quorane\n"
                                              "Internet radio player\n"
                                              "Version 1.02\n"
                                              "Quorane developers, 2026\n"
                                              "https://quorane.org/"),
                               Prompts::Icon::Information);
}

void TForm1::Onlinesupport1Click() {
    Prompts::Current().OpenUrl(HelpPage);
}

void TForm1::Settings1Click() {
    if (Form2)
        Form2->ShowModal();
}

void TForm1::Addanewstation1Click() {
    if (Form3)
        Form3->ShowModal();
}

void TForm1::Addanewstation2Click() {
    Addanewstation1->trigger();
}

void TForm1::Snow1Click() {
    sSkinManager1->SetSkinName(QStringLiteral("Winter 2003 (internal)"));
    sSkinManager1->SetActive(true);
    // The default item of its menu, drawn in bold.
    Skins1->setDefaultAction(Snow1);
    QFont bold = Snow1->font();
    bold.setBold(true);
    Snow1->setFont(bold);
}
