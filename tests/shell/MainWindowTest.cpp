// The main window as the user drives it: its layout and anchors, the menus
// and their shortcuts (which win over the focused control), Esc, and the
// shell's own commands.
#include "MainWindowFixture.h"

#include "online/ui/TForm2.h"
#include "online/ui/TForm3.h"
#include "shell/Program.h"
#include "shell/SkinManager.h"

#include <QAction>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <functional>

namespace {

using MainWindow = MainWindowFixture;

// The captions of a menu's items, "-" for a separator.
QStringList Captions(const QMenu *menu) {
    QStringList out;
    for (const QAction *a : menu->actions())
        out.append(a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

// Bottom edge (exclusive) of a control, in the window's coordinates.
int BottomInWindow(const QWidget *w) {
    return w->mapTo(w->window(), QPoint(0, w->height())).y();
}

} // namespace

TEST_F(MainWindow, LaysOutTheControlsAtTheirPlaces) {
    const int top = form->ClientTop();
    EXPECT_GT(top, 0) << "the menu bar sits above the client area";
    EXPECT_EQ(form->size(), QSize(812, 423 + top));
    EXPECT_EQ(form->windowTitle(), "Quorane");
    EXPECT_EQ(form->sListView1->geometry(), QRect(8, top + 8, 796, 294));
    EXPECT_EQ(form->sPanel3->geometry(), QRect(8, top + 308, 796, 37));
    EXPECT_EQ(form->sGroupBox1->geometry(), QRect(8, top + 342, 796, 57));
    EXPECT_EQ(form->sEdit1->geometry(), QRect(16, 20, 153, 24));
    EXPECT_EQ(form->sPanel1->geometry(), QRect(176, 16, 452, 33));
    EXPECT_EQ(form->sTrackBar1->geometry(), QRect(635, 20, 150, 29));
    EXPECT_EQ(form->sStatusBar1->geometry(), QRect(0, top + 404, 812, 19));
    for (int n = 1; n <= 14; ++n) {
        EXPECT_EQ(form->sButton[n - 1]->geometry(), QRect(7 + 56 * (n - 1), 5, 50, 25));
        EXPECT_EQ(form->sButton[n - 1]->text(), QString::number(n));
        EXPECT_TRUE(form->sButton[n - 1]->font().bold());
    }
    EXPECT_EQ(form->sEdit1->text(), "Search...");
    EXPECT_TRUE(form->sEdit1->placeholderText().isEmpty());
    EXPECT_TRUE(form->sEdit1->font().bold() && form->sEdit1->font().italic());
    EXPECT_EQ(form->sEdit1->font().pointSize(), 10);
    EXPECT_EQ(form->sPanel1->text(), "Quorane");
    EXPECT_EQ(form->sPanel1->font().pointSize(), 12);
    EXPECT_EQ(form->sTrackBar1->minimum(), 0);
    EXPECT_EQ(form->sTrackBar1->maximum(), 100);
    EXPECT_EQ(form->sTrackBar1->value(), 50);
    const int panelWidths[4] = {400, 85, 170, 50};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(form->StatusPanels[i]->width(), panelWidths[i]);
        EXPECT_TRUE(form->StatusPanels[i]->text().isEmpty());
    }

    const QHeaderView *header = form->sListView1->horizontalHeader();
    const int widths[8] = {50, 200, 70, 70, 200, 50, 50, 50};
    const char *captions[8] = {"#",   "Station",     "Genre",    "Country",
                               "URL", "Description", "Language", "Additional URL"};
    ASSERT_EQ(header->count(), 8);
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(header->sectionSize(c), widths[c]);
        EXPECT_EQ(form->Model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
                  captions[c]);
    }
    EXPECT_TRUE(form->sListView1->verticalHeader()->isHidden());
}

TEST_F(MainWindow, AtTheMinimumSizeTheRowsBelowStayAtTheBottomAndTheListShrinks) {
    ShowActive();
    form->resize(100, 100);
    EXPECT_EQ(form->size(), QSize(480, 320)) << "the window is never smaller";
    const int h = form->height();
    const int w = form->width();
    EXPECT_EQ(form->sStatusBar1->height(), 19);
    EXPECT_EQ(BottomInWindow(form->sStatusBar1), h);
    EXPECT_EQ(form->sStatusBar1->width(), w);
    EXPECT_EQ(form->sGroupBox1->height(), 57);
    EXPECT_EQ(BottomInWindow(form->sGroupBox1), h - 24);
    EXPECT_EQ(form->sPanel3->height(), 37);
    EXPECT_EQ(BottomInWindow(form->sPanel3), h - 78);
    EXPECT_EQ(form->sListView1->width(), w - 16);
    EXPECT_EQ(form->sListView1->height(), 320 - form->ClientTop() - 129);
    // The buttons keep their places, the slider keeps its distance to the
    // strip's right edge and the panel narrows between.
    EXPECT_EQ(form->sButton[13]->x(), 7 + 56 * 13);
    EXPECT_EQ(form->sGroupBox1->width() - (form->sTrackBar1->x() + form->sTrackBar1->width()), 11);
    EXPECT_EQ(form->sPanel1->x(), 176);
    EXPECT_EQ(form->sPanel1->x() + form->sPanel1->width(), form->sGroupBox1->width() - 168);
    EXPECT_EQ(form->sEdit1->geometry(), QRect(16, 20, 153, 24));
}

TEST_F(MainWindow, TheUrlColumnNeverGetsNarrowerThan100) {
    QHeaderView *header = form->sListView1->horizontalHeader();
    header->resizeSection(4, 30);
    EXPECT_EQ(header->sectionSize(4), 100);
    header->resizeSection(5, 30);
    EXPECT_EQ(header->sectionSize(5), 30) << "other columns may be narrow";
}

TEST_F(MainWindow, MenusHoldTheirItemsAndShortcuts) {
    QStringList top;
    for (const QAction *a : form->MainMenu1->actions())
        top.append(a->text());
    EXPECT_EQ(top, QStringList({"File", "List", "Skins", "Help"}));
    EXPECT_FALSE(form->Skins1->menuAction()->isVisible());
    EXPECT_TRUE(form->File1->menuAction()->isVisible());

    EXPECT_EQ(Captions(form->File1),
              QStringList({"Available skins", "-", "Proxy settings", "-", "Notify on title change",
                           "Sleep timer", "-", "Exit"}));
    EXPECT_EQ(Captions(form->List1),
              QStringList({"Add a new station", "-", "Download list from server", "-",
                           "Play favorite", "-", "Load list", "Save list", "Clear list", "-",
                           "Song history", "-", "Find stations...", "-"}));
    EXPECT_EQ(Captions(form->Skins1), QStringList({"Snow"}));
    EXPECT_TRUE(form->Snow1->font().bold());
    EXPECT_EQ(Captions(form->Help1), QStringList({"Update", "Online homepage", "-", "About"}));
    EXPECT_EQ(Captions(form->PopupMenu2),
              QStringList({"Add a new station", "Delete station", "Set to favorite", "-",
                           "Volume control", "-", "Find stations..."}));
    EXPECT_EQ(Captions(form->N5), QStringList({"Volume 100%", "Mute"}));
    EXPECT_EQ(Captions(form->PopupMenu1),
              QStringList({"Quorane", "-", "Show radio", "Stop", "Exit"}));
    EXPECT_EQ(form->PopupMenu1->defaultAction(), form->Quorane1);

    const std::pair<QAction *, QString> shortcuts[] = {{form->Settings1, "Ctrl+P"},
                                                       {form->Addanewstation1, "Ctrl+N"},
                                                       {form->Loadlist1, "Ctrl+O"},
                                                       {form->Savelist1, "Ctrl+S"},
                                                       {form->Clearlist1, "Ctrl+Del"},
                                                       {form->Onlinesupport1, "F1"},
                                                       {form->Songhistory1, "Ctrl+H"},
                                                       {form->Findstations1, "Ctrl+F"},
                                                       {form->Exit1, ""},
                                                       {form->Deletestation1, ""}};
    for (const auto &[action, keys] : shortcuts)
        EXPECT_EQ(action->shortcut().toString(), keys) << action->text().toStdString();
    QStringList play, set;
    for (int n = 0; n < 14; ++n) {
        play.append(form->PlaySlot[n]->text() + "=" + form->PlaySlot[n]->shortcut().toString());
        set.append(form->SetSlot[n]->text() + "=" + form->SetSlot[n]->shortcut().toString());
    }
    EXPECT_EQ(play,
              QStringList({"Slot 1=1", "Slot 2=2", "Slot 3=3", "Slot 4=4", "Slot 5=5", "Slot 6=6",
                           "Slot 7=7", "Slot 8=8", "Slot 9=9", "Slot 10=0", "Slot 11=Alt+1",
                           "Slot 12=Alt+2", "Slot 13=Alt+3", "Slot 14=Alt+4"}));
    EXPECT_EQ(set.first(), "Slot 1=");
    EXPECT_EQ(set.last(), "Slot 14=");
}

TEST_F(MainWindow, DigitsPlayTheirSlotEvenWhileTheSearchBoxHasTheFocus) {
    ShowActive();
    form->sEdit1->setFocus();
    form->sEdit1->setText("abc");
    QSignalSpy five(form->sButton[4], &QPushButton::clicked);
    QSignalSpy ten(form->sButton[9], &QPushButton::clicked);
    QSignalSpy fourteen(form->sButton[13], &QPushButton::clicked);
    Key(Qt::Key_5);
    Key(Qt::Key_0);
    Key(Qt::Key_4, Qt::AltModifier);
    EXPECT_EQ(five.count(), 1);
    EXPECT_EQ(ten.count(), 1);
    EXPECT_EQ(fourteen.count(), 1);
    EXPECT_EQ(form->sEdit1->text(), "abc") << "a digit never reaches the search text";
    // A letter is no shortcut and is typed as usual.
    Key(Qt::Key_D);
    EXPECT_EQ(form->sEdit1->text(), "abcd");
}

TEST_F(MainWindow, KeypadDigitsAreCharactersNotFavouriteKeys) {
    ShowActive();
    QSignalSpy five(form->sButton[4], &QPushButton::clicked);
    QSignalSpy ten(form->sButton[9], &QPushButton::clicked);
    form->sEdit1->setFocus();
    form->sEdit1->setText("s");
    Key(Qt::Key_5, Qt::KeypadModifier);
    Key(Qt::Key_0, Qt::KeypadModifier);
    EXPECT_EQ(form->sEdit1->text(), "s50") << "typed into the search box";
    // Not in the list either, where no control claims the key for itself.
    form->sListView1->setFocus();
    Key(Qt::Key_5, Qt::KeypadModifier);
    EXPECT_EQ(five.count(), 0);
    EXPECT_EQ(ten.count(), 0);
    // The main keyboard's digit still plays its slot.
    Key(Qt::Key_5);
    EXPECT_EQ(five.count(), 1);
}

TEST_F(MainWindow, ShortcutsWinOverTheFocusedControl) {
    ShowActive();
    form->sEdit1->setFocus();
    Key(Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(app.prompts.shown.size(), 1);
    EXPECT_EQ(app.prompts.shown[0].kind, "question");
    EXPECT_EQ(app.prompts.shown[0].text, "Are you sure you want to clear radiostations list?");
    EXPECT_EQ(form->Stations.Count(), 4) << "answered No";

    for (QWidget *w :
         {static_cast<QWidget *>(form->sListView1), static_cast<QWidget *>(form->sTrackBar1),
          static_cast<QWidget *>(form->sButton[2]), static_cast<QWidget *>(form->sEdit1)}) {
        w->setFocus();
        Key(Qt::Key_F1);
    }
    EXPECT_EQ(app.prompts.openedUrls,
              QStringList(4, QStringLiteral("https://quorane.org/help.quorane.html")));

    form->sTrackBar1->setFocus();
    Key(Qt::Key_O, Qt::ControlModifier);
    ASSERT_FALSE(app.prompts.shown.isEmpty());
    EXPECT_EQ(app.prompts.shown.last().kind, "open");
}

TEST_F(MainWindow, EscClosesFromTheListAndFromTheBareWindowOnly) {
    ShowActive();
    for (QWidget *w :
         {static_cast<QWidget *>(form->sEdit1), static_cast<QWidget *>(form->sTrackBar1),
          static_cast<QWidget *>(form->sButton[0])}) {
        w->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), w);
        Key(Qt::Key_Escape);
        EXPECT_TRUE(form->isVisible()) << w->metaObject()->className();
    }
    form->sListView1->setFocus();
    Key(Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());

    ShowActive();
    if (QWidget *focus = QApplication::focusWidget())
        focus->clearFocus();
    ASSERT_EQ(QApplication::focusWidget(), nullptr);
    Key(Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MainWindow, RightClickOnTheListOpensTheListMenu) {
    ShowActive();
    QWidget *viewport = form->sListView1->viewport();
    const QPoint inRow = form->sListView1->visualRect(form->Model->index(1, 1)).center();
    const QPoint at = viewport->mapTo(form.get(), inRow);
    QTest::mouseClick(form->windowHandle(), Qt::RightButton, Qt::NoModifier, at);
    EXPECT_TRUE(form->PopupMenu2->isVisible());
    EXPECT_EQ(form->CurrentStation(), 1) << "the row under the pointer is selected";
    form->PopupMenu2->hide();
}

TEST_F(MainWindow, ShellCommands) {
    form->About1->trigger();
    const auto messages = app.prompts.Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].title, "Quorane");
    EXPECT_EQ(messages[0].icon, Prompts::Icon::Information);
    const QStringList about = messages[0].text.split('\n');
    ASSERT_EQ(about.size(), 5);
    EXPECT_EQ(about[0], "Quorane");
    EXPECT_TRUE(about[2].contains("1.02"));
    EXPECT_EQ(about[3], "Quorane developers, 2026");
    EXPECT_EQ(about[4], "https://quorane.org/");

    // The list menu's item does exactly what the List menu's does.
    QSignalSpy add(form->Addanewstation1, &QAction::triggered);
    form->Addanewstation2->trigger();
    EXPECT_EQ(add.count(), 1);

    // Snow brings the built-in skin back from another one, with skinning on.
    QDir().mkpath(app.App() + "Skins");
    TempAppFolder::Write(app.App() + "Skins/Other.asz", "QWidget { color: #123456; }");
    form->sSkinManager1->SetSkinName("Other");
    form->sSkinManager1->SetActive(false);
    ASSERT_EQ(form->sSkinManager1->SkinName(), "Other");
    form->Snow1->trigger();
    EXPECT_EQ(form->sSkinManager1->SkinName(), "Winter2003 (internal)");
    EXPECT_TRUE(form->sSkinManager1->Active());
    // The winter sheet is what the windows are drawn with, not only its name.
    EXPECT_TRUE(qApp->styleSheet().contains("background-color: #eef5fb")) << "winter drawn";
    EXPECT_FALSE(qApp->styleSheet().contains("#123456"));

    ShowActive();
    form->Exit1->trigger();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MainWindow, VolumeCommandsMoveTheSlider) {
    form->Mute1->trigger();
    EXPECT_EQ(form->sTrackBar1->value(), 0);
    form->Volume1001->trigger();
    EXPECT_EQ(form->sTrackBar1->value(), 100);
}

TEST_F(MainWindow, SetToFavoriteStoresTheLowestSelectedStationsUrl) {
    Select({2, 1});
    form->SetSlot[6]->trigger();
    EXPECT_EQ(form->FavoriteUrls[6], "http://beta.example/stream");

    form->FavoriteUrls[3] = "kept";
    form->sListView1->clearSelection();
    form->SetSlot[3]->trigger();
    EXPECT_EQ(form->FavoriteUrls[3], "kept");
    ASSERT_EQ(Errors().size(), 1);
    EXPECT_EQ(Errors()[0].text, "List index out of bounds (-1)");
}

// The dialogs belong to the program, which hands them to the main window.
TEST(MainWindowDialogs, CommandsOpenTheProgramsDialogsModally) {
    TempAppFolder app;
    QApplication::setQuitOnLastWindowClosed(false);
    Program program;
    ASSERT_FALSE(program.Aborted());
    TForm1 *form = program.Form1;
    ASSERT_EQ(form->Form2, program.Form2);
    ASSERT_EQ(form->Form3, program.Form3);
    form->show();
    form->activateWindow();
    QApplication::setActiveWindow(form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));

    // Each command returns once its dialog is hidden again. A timer, run by
    // the dialog's own loop, records what is open and closes it; it keeps
    // looking, because a key click runs the loop before the key goes down.
    QStringList opened;
    const auto openAndClose = [&](const std::function<void()> &command) {
        QTimer closer;
        closer.setInterval(0);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            for (TFormINI *dialog :
                 {static_cast<TFormINI *>(program.Form2), static_cast<TFormINI *>(program.Form3)}) {
                if (dialog->isVisible() && dialog->isModal()) {
                    opened.append(dialog->windowTitle());
                    dialog->hide();
                }
            }
        });
        closer.start();
        command();
    };
    openAndClose([&] { form->Settings1->trigger(); });
    openAndClose([&] { form->Addanewstation1->trigger(); });
    openAndClose([&] { form->Addanewstation2->trigger(); });
    // The keys, once the window manager has given the main window back its
    // activation.
    for (Qt::Key key : {Qt::Key_N, Qt::Key_P}) {
        QApplication::setActiveWindow(form);
        ASSERT_TRUE(QTest::qWaitForWindowActive(form));
        openAndClose([&] { QTest::keyClick(form->windowHandle(), key, Qt::ControlModifier); });
    }
    EXPECT_EQ(opened.join(", "), "Proxy settings, Add a new station, Add a new station, "
                                 "Add a new station, Proxy settings");
    form->close();
    program.Shutdown();
}
