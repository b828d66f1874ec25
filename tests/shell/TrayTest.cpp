// The notification-area icon: clicks told from double clicks by the
// double-click time, the tray menu, minimising to the tray (only where there
// is a tray), bringing the window back in its stored state, the icon added
// again when a notification area appears, and Exit from the tray ending the
// program through the full shutdown. The offscreen platform has no tray, so
// the icon's mouse is driven through its own entry points, which the
// platform's reports feed, and the tray's presence is injected through the
// check that every tray decision goes through.
#include "MainWindowFixture.h"

#include "shell/Program.h"
#include "shell/TrayIcon.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

int DoubleClickTime() {
    return QApplication::doubleClickInterval();
}

// The injected notification area: present or not, as a test says.
struct InjectedTray {
    bool available = false;
    InjectedTray() {
        TrayIcon::SetAvailabilityCheckForTesting([this] { return available; });
    }
    ~InjectedTray() { TrayIcon::SetAvailabilityCheckForTesting({}); }
};

class Tray : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        tray = form->TrayIcon1;
        ASSERT_NE(tray, nullptr);
        // Count the icon's events on their way to the window's handlers.
        auto click = tray->OnClick;
        tray->OnClick = [this, click] {
            ++clicks;
            click();
        };
        auto dblClick = tray->OnDblClick;
        tray->OnDblClick = [this, dblClick] {
            ++dblClicks;
            dblClick();
        };
    }

    // Shows the window, then minimises it as the window manager would, with
    // a tray present: the window goes to the tray.
    void HideToTray() {
        if (!form->isVisible())
            ShowActive();
        area.available = true;
        form->setWindowState(form->windowState() | Qt::WindowMinimized);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 10000));
        clicks = 0;
        dblClicks = 0;
    }
    bool Shown() const { return form->isVisible() && !form->isMinimized(); }

    InjectedTray area;
    TrayIcon *tray = nullptr;
    int clicks = 0;
    int dblClicks = 0;
};

} // namespace

TEST_F(Tray, TheIconHasItsPictureNoTooltipAndTheTrayMenu) {
    area.available = true;
    tray->CheckNotificationArea();
    ASSERT_NE(tray->Icon(), nullptr);
    EXPECT_EQ(tray->Hint(), "Quorane");
    EXPECT_FALSE(tray->ShowHint());
    EXPECT_TRUE(tray->Icon()->toolTip().isEmpty());
    EXPECT_EQ(tray->PopupMenu(), form->PopupMenu1);
    EXPECT_EQ(form->PopupMenu1->defaultAction(), form->Quorane1);
    EXPECT_TRUE(form->Quorane1->font().bold());

    const QIcon picture = tray->Icon()->icon();
    const QList<QSize> sizes = picture.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    for (const int size : {16, 32}) {
        const QImage image = picture.pixmap(size).toImage();
        EXPECT_TRUE(image.hasAlphaChannel());
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << size; // a round mark
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255) << size;
    }
}

TEST_F(Tray, OneClickShowsTheWindowOnlyAfterTheDoubleClickTime) {
    HideToTray();
    QElapsedTimer clock;
    clock.start();
    qint64 shownAfter = -1;
    auto click = tray->OnClick;
    tray->OnClick = [&, click] {
        shownAfter = clock.elapsed();
        click();
    };
    tray->LeftButtonDown();
    tray->LeftButtonUp();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(tray->ClickTimerActive());
    // However late the events are processed, never before the double-click
    // time has passed.
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->isVisible(); }, 20 * DoubleClickTime()));
    EXPECT_GE(shownAfter, DoubleClickTime());
    EXPECT_TRUE(Shown());
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(dblClicks, 0);
    // The left button never opens the menu.
    EXPECT_FALSE(form->PopupMenu1->isVisible());
}

TEST_F(Tray, ADoubleClickShowsTheWindowAtOnceAndRunsTheShowActionTwice) {
    // Windows reports down, up, double click, up; Qt's tray widget reports
    // the second press too, before the double click. Both are one double click.
    const std::vector<std::vector<int>> sequences = {{0, 1, 2, 1}, {0, 1, 0, 2, 1}};
    for (const auto &sequence : sequences) {
        HideToTray();
        QSignalSpy quorane(form->Quorane1, &QAction::triggered);
        for (const int step : sequence) {
            if (step == 0)
                tray->LeftButtonDown();
            else if (step == 1)
                tray->LeftButtonUp();
            else {
                tray->LeftDoubleClick();
                EXPECT_TRUE(Shown()); // at once
            }
        }
        EXPECT_EQ(dblClicks, 1);
        EXPECT_EQ(quorane.count(), 1); // the menu's default item, the second show
        // No click follows when the double-click time has passed.
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return !tray->ClickTimerActive(); }, 20 * DoubleClickTime()));
        QTest::qWait(50);
        EXPECT_EQ(clicks, 0);
        EXPECT_TRUE(Shown());
        EXPECT_FALSE(form->PopupMenu1->isVisible());
    }
}

TEST_F(Tray, APressHeldLongerThanTheDoubleClickTimeShowsTheWindowAtTheRelease) {
    HideToTray();
    tray->LeftButtonDown();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tray->ClickTimerActive(); }, 20 * DoubleClickTime()));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(clicks, 0);
    tray->LeftButtonUp();
    EXPECT_TRUE(Shown()); // at the release, not later
    EXPECT_EQ(clicks, 1);
    QTest::qWait(DoubleClickTime() + 150);
    EXPECT_EQ(clicks, 1);
}

TEST_F(Tray, TheRightButtonOpensTheTrayMenuAtTheCursor) {
    HideToTray();
    const QPoint cursor(300, 200);
    tray->RightButtonDown(cursor);
    EXPECT_TRUE(form->PopupMenu1->isVisible());
    EXPECT_EQ(form->PopupMenu1->geometry().topLeft(), cursor);
    EXPECT_FALSE(form->isVisible()); // the menu alone
    form->PopupMenu1->close();
    EXPECT_EQ(clicks + dblClicks, 0);
}

TEST_F(Tray, ShowRadioAndQuoraneBringTheWindowBack) {
    for (QAction *item : {form->Restore1, form->Quorane1}) {
        HideToTray();
        ASSERT_FALSE(form->isVisible());
        item->trigger();
        EXPECT_TRUE(Shown()) << item->text().toStdString();
        EXPECT_FALSE(ApplicationEvents::Of(form.get())->Minimized());
    }
    // Clicking while the window is shown leaves it shown.
    form->Restore1->trigger();
    EXPECT_TRUE(Shown());
}

TEST_F(Tray, MinimisingHidesTheWindowToTheTrayOnlyWhenThereIsOne) {
    ShowActive();
    // No notification area: the icon could never bring the window back, so
    // it stays minimised on the taskbar.
    area.available = false;
    form->setWindowState(form->windowState() | Qt::WindowMinimized);
    QTest::qWait(100);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->isMinimized());
    form->setWindowState(form->windowState() & ~Qt::WindowMinimized);
    EXPECT_FALSE(ApplicationEvents::Of(form.get())->Minimized());

    area.available = true;
    form->setWindowState(form->windowState() | Qt::WindowMinimized);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 10000));
    EXPECT_TRUE(ApplicationEvents::Of(form.get())->Minimized());

    // Hiding the window otherwise is not a minimise.
    form->show();
    ApplicationEvents::Of(form.get())->Restore();
    form->hide();
    QTest::qWait(50);
    EXPECT_FALSE(ApplicationEvents::Of(form.get())->Minimized());
}

TEST_F(Tray, BringingTheWindowBackAppliesTheStateTheLastRunEndedIn) {
    ShowActive();
    // The geometry file is read at every showing.
    TempAppFolder::Write(app.GeometryFile(), "[Quorane]\nWindowState=2\n");
    HideToTray();
    tray->LeftButtonDown();
    tray->LeftButtonUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->isVisible(); }, 20 * DoubleClickTime()));
    EXPECT_TRUE(form->isMaximized());
    EXPECT_FALSE(form->isMinimized());

    // A run that ended minimised: showing minimises, restoring brings it up.
    TempAppFolder::Write(app.GeometryFile(), "[Quorane]\nWindowState=1\n");
    HideToTray();
    form->Quorane1->trigger();
    EXPECT_TRUE(Shown());

    TempAppFolder::Write(app.GeometryFile(), "[Quorane]\nWindowState=0\n");
    HideToTray();
    form->Restore1->trigger();
    EXPECT_TRUE(Shown());
    EXPECT_FALSE(form->isMaximized());
}

TEST_F(Tray, TheIconIsAddedWhenANotificationAreaAppears) {
    // None at start (the offscreen platform has none): no icon made yet, so
    // the platform has not picked its kind of notification area either.
    EXPECT_EQ(tray->Icon(), nullptr);
    QSignalSpy readded(tray, &TrayIcon::Readded);
    tray->CheckNotificationArea();
    EXPECT_EQ(readded.count(), 0);
    EXPECT_EQ(tray->Icon(), nullptr);

    area.available = true;
    tray->CheckNotificationArea();
    EXPECT_EQ(readded.count(), 1);
    ASSERT_NE(tray->Icon(), nullptr);
    EXPECT_TRUE(tray->Icon()->isVisible());
    EXPECT_FALSE(tray->UsesStatusNotifier());
    tray->CheckNotificationArea();
    EXPECT_EQ(readded.count(), 1); // only when it (re)appears

    // The panel goes away and comes back: the icon is added again, by the
    // icon's own periodic check.
    QSignalSpy checked(tray, &TrayIcon::AreaChecked);
    area.available = false;
    // Until the periodic check has seen the panel gone, however late it runs.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !checked.isEmpty() && !checked.last().at(0).toBool(); }, 30000));
    area.available = true;
    EXPECT_TRUE(readded.wait(30000));
    EXPECT_EQ(readded.count(), 2);
    EXPECT_TRUE(tray->Icon()->isVisible());
}

namespace {

// One run of the program: the window is shown (maximised first when asked),
// minimised to the tray, and Exit is picked from the tray menu while it is
// hidden. Each step waits for the one before, however slow the machine.
struct TrayRun {
    bool maximiseFirst = false;
    bool wasInTray = false;
    bool timedOut = false;

    void Run(InjectedTray &area) {
        Program program;
        ASSERT_FALSE(program.Aborted());
        TForm1 *form = program.Form1;
        QPointer<QSystemTrayIcon> icon; // made when the tray comes
        int step = 0;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (step == 0 && form->isVisible()) {
                if (maximiseFirst)
                    form->setWindowState(Qt::WindowMaximized);
                area.available = true;
                form->setWindowState(form->windowState() | Qt::WindowMinimized);
                step = 1;
            } else if (step == 1 && !form->isVisible()) {
                wasInTray = true;
                icon = form->TrayIcon1->Icon();
                EXPECT_FALSE(icon.isNull());
                step = 2;
                form->TrayIcon1->RightButtonDown(QPoint(100, 100));
                form->Exit2->trigger();
                form->PopupMenu1->close();
            }
        });
        poll.start(50);
        QTimer::singleShot(20000, &poll, [&] {
            timedOut = true;
            QCoreApplication::quit();
        });
        program.Run(); // returns when the message loop ends
        poll.stop();
        program.Shutdown();
        EXPECT_TRUE(icon.isNull()); // the icon went with the main window
    }
};

} // namespace

TEST(TrayProgram, ExitFromTheTrayMenuEndsTheProgramAndTheNextStartShowsTheWindow) {
    TempAppFolder app;
    InjectedTray area;
    TempAppFolder::Write(app.StationFile(), "One\tx\tg\tc\tl\thttp://one/\t\nTwo");
    QApplication::setQuitOnLastWindowClosed(true); // as the program's main() does
    TrayRun run;
    run.Run(area);
    QApplication::setQuitOnLastWindowClosed(false);
    EXPECT_TRUE(run.wasInTray);
    EXPECT_FALSE(run.timedOut) << "the loop went on after Exit";

    EXPECT_TRUE(app.prompts.ErrorBoxes().isEmpty());
    EXPECT_EQ(TempAppFolder::Read(app.StationFile()),
              QByteArray("One\tx\tg\tc\tl\thttp://one/\t\r\nTwo\r\n"));
    const QByteArray settings = TempAppFolder::Read(app.SettingsFile());
    EXPECT_TRUE(settings.startsWith("[Main]\nProxy=\nVolume=50\n")) << settings.constData();
    EXPECT_TRUE(settings.contains("Fav14=\n"));
    // Hidden in the tray is minimised underneath, but the file keeps the
    // state from before the minimise, with the position of a normal window.
    const QByteArray geometry = TempAppFolder::Read(app.GeometryFile());
    EXPECT_TRUE(geometry.contains("[Quorane]\nTop=")) << geometry.constData();
    EXPECT_TRUE(geometry.contains("WindowState=0")) << geometry.constData();

    // The next start shows the window, normal.
    {
        TForm1 next;
        next.show();
        EXPECT_TRUE(next.isVisible());
        EXPECT_FALSE(next.isMinimized());
        EXPECT_FALSE(next.isMaximized());
        next.hide();
        next.FormDestroy();
    }

    // A window maximised before it went to the tray comes back maximised.
    area.available = false;
    QApplication::setQuitOnLastWindowClosed(true);
    TrayRun maximised;
    maximised.maximiseFirst = true;
    maximised.Run(area);
    QApplication::setQuitOnLastWindowClosed(false);
    EXPECT_TRUE(maximised.wasInTray);
    EXPECT_FALSE(maximised.timedOut);
    EXPECT_TRUE(TempAppFolder::Read(app.GeometryFile()).contains("WindowState=2"));
}

TEST(TrayProgram, ClosingTheWindowEndsTheProgramAndNeverHidesItToTheTray) {
    TempAppFolder app;
    InjectedTray area;
    TempAppFolder::Write(app.StationFile(), "");
    QApplication::setQuitOnLastWindowClosed(true);
    Program program;
    ASSERT_FALSE(program.Aborted());
    bool timedOut = false;
    QObject steps;
    QTimer::singleShot(100, &steps, [&] {
        area.available = true;
        program.Form1->close(); // the close box
    });
    QTimer::singleShot(10000, &steps, [&] {
        timedOut = true;
        QCoreApplication::quit();
    });
    program.Run();
    QApplication::setQuitOnLastWindowClosed(false);
    EXPECT_FALSE(timedOut);
    EXPECT_FALSE(ApplicationEvents::Of(program.Form1)->Minimized());
    program.Shutdown();
    EXPECT_TRUE(TempAppFolder::Read(app.GeometryFile()).contains("WindowState=0"));
}
