// The tray icon with a StatusNotifierItem host, as KDE and GNOME's
// AppIndicator extension are: a watcher of our own on a private session bus
// (in a thread of its own, as a panel is a process of its own), the real
// main window under Xvfb, and the host's side of the protocol driven with
// gdbus: the item registers, its menu is exported for the host to open on
// its own right click, the host's menu items act, and the host's left click
// shows the window. A watcher that never answers does not hold the start-up
// up, and a panel that comes after the start gets the icon and its menu.
#include "shell/MainWindowFixture.h"
#include "shell/TrayIcon.h"
#include "shell/dbus/PrivateBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QMutex>
#include <QRegularExpression>
#include <QThread>
#include <atomic>
#include <functional>

namespace {

PrivateBus *Bus = static_cast<PrivateBus *>(::testing::AddGlobalTestEnvironment(new PrivateBus));

class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ Items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ HostRegistered)
    Q_PROPERTY(int ProtocolVersion READ ProtocolVersion)
public:
    QStringList Items() const {
        QMutexLocker lock(&mutex);
        return items;
    }
    bool HostRegistered() const { return true; }
    int ProtocolVersion() const { return 0; }
    mutable QMutex mutex;
    QStringList items; // guarded by mutex: read by the test thread

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString &service, const QDBusMessage &message) {
        const QString name = service.startsWith('/') ? message.service() : service;
        {
            QMutexLocker lock(&mutex);
            items.append(name);
        }
        Q_EMIT StatusNotifierItemRegistered(name);
    }
    void RegisterStatusNotifierHost(const QString &) {}

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString &service);
    void StatusNotifierItemUnregistered(const QString &service);
    void StatusNotifierHostRegistered();
};

// A panel's watcher served from a thread and a bus connection of its own,
// as a panel is a process of its own. `attach` puts the watcher's object on
// the connection, from that thread; `served` (if any) moves there too.
class Panel {
public:
    Panel(const QString &name, QObject *served, std::function<bool(QDBusConnection &)> attach)
        : name_(name), served_(served) {
        thread_.start();
        context_.moveToThread(&thread_);
        if (served)
            served->moveToThread(&thread_);
        QMetaObject::invokeMethod(
            &context_,
            [&] {
                bus_ = std::make_unique<QDBusConnection>(
                    QDBusConnection::connectToBus(Bus->address, name_));
                ok = attach(*bus_) && bus_->registerService("org.kde.StatusNotifierWatcher");
            },
            Qt::BlockingQueuedConnection);
    }
    ~Panel() {
        QMetaObject::invokeMethod(
            &context_,
            [this] {
                bus_->unregisterService("org.kde.StatusNotifierWatcher");
                bus_->unregisterObject("/StatusNotifierWatcher");
                bus_.reset();
                QDBusConnection::disconnectFromBus(name_);
                // Back to the test's thread, which destroys it.
                if (served_)
                    served_->moveToThread(QCoreApplication::instance()->thread());
            },
            Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    bool ok = false;

private:
    QString name_;
    QObject *served_;
    QThread thread_;
    QObject context_; // lives on thread_, where the connection is used
    std::unique_ptr<QDBusConnection> bus_;
};

// The panel that works.
class Host {
public:
    Watcher watcher;
    Panel panel{"host", &watcher, [this](QDBusConnection &bus) {
                    return bus.registerObject("/StatusNotifierWatcher", &watcher,
                                              QDBusConnection::ExportAllContents);
                }};
    const bool &ok = panel.ok;
};

// A panel that hangs: its watcher takes every call, Introspect and
// property reads included, and never answers.
class HungWatcher {
public:
    struct Silent : QDBusVirtualObject {
        QString introspect(const QString &) const override { return {}; }
        bool handleMessage(const QDBusMessage &, const QDBusConnection &) override {
            asked = true;
            return true; // taken, never answered
        }
        std::atomic<bool> asked{false};
    };
    Silent silent;
    Panel panel{"hung", nullptr, [this](QDBusConnection &bus) {
                    return bus.registerVirtualObject("/StatusNotifierWatcher", &silent);
                }};
    const bool &ok = panel.ok;
};

// gdbus, run while the program's own loop goes on answering.
QString Gdbus(const QStringList &args) {
    QProcess p;
    p.start("gdbus", QStringList{"call", "--session"} + args);
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 20000))
        p.kill();
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

// The main window with a panel of ours: how the host sees the icon.
class PanelFixture : public MainWindowFixture {
protected:
    // Puts `panel` on the bus, then starts the window, timing its start.
    template <class P> void Start(std::unique_ptr<P> &panel) {
        if (Bus->address.isEmpty() || QStandardPaths::findExecutable("gdbus").isEmpty())
            GTEST_SKIP() << "dbus-daemon or gdbus missing";
        if (QGuiApplication::platformName() != "xcb")
            GTEST_SKIP() << "needs an X display (run under xvfb-run)";
        panel = std::make_unique<P>();
        ASSERT_TRUE(panel->ok);
        QElapsedTimer clock;
        clock.start();
        MainWindowFixture::SetUp();
        startMs = clock.elapsed();
    }
    // Once the icon has registered with the host's watcher: its name and menu.
    void Registered() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !host->watcher.Items().isEmpty(); }, 20000))
            << "the icon never registered with the watcher";
        item = host->watcher.Items().first();
        menu = Property("Menu");
    }
    void TearDown() override {
        MainWindowFixture::TearDown();
        host.reset();
    }
    QString Property(const QString &name) {
        const QString out =
            Gdbus({"--dest", item, "--object-path", "/StatusNotifierItem", "--method",
                   "org.freedesktop.DBus.Properties.Get", "org.kde.StatusNotifierItem", name});
        static const QRegularExpression value("<(?:objectpath )?'([^']*)'>");
        const auto m = value.match(out);
        return m.hasMatch() ? m.captured(1) : out;
    }
    // The id of the exported menu item labelled `label`, or -1.
    int MenuItem(const QString &label) {
        layout = Gdbus({"--dest", item, "--object-path", menu, "--method",
                        "com.canonical.dbusmenu.GetLayout", "0", "int32 -1", "[]"});
        const QRegularExpression entry("\\((\\d+), \\{[^}]*'label': <'" +
                                       QRegularExpression::escape(label) + "'>");
        const auto m = entry.match(layout);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    }
    void Click(int id) {
        Gdbus({"--dest", item, "--object-path", menu, "--method", "com.canonical.dbusmenu.Event",
               QString::number(id), "clicked", "<0>", "0"});
    }
    void HideToTray() {
        ShowActive();
        form->setWindowState(form->windowState() | Qt::WindowMinimized);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 10000));
    }

    std::unique_ptr<Host> host;
    QString item, menu;
    QString layout;     // the menu as the host last read it
    qint64 startMs = 0; // how long the window took to start
};

// The panel is there before the window.
class StatusNotifier : public PanelFixture {
protected:
    void SetUp() override {
        Start(host);
        if (!IsSkipped() && !HasFatalFailure())
            Registered();
    }
};

// A panel that hangs is there before the window. Qt picks its kind of
// notification area once, with the process's first icon, by asking the
// watcher and waiting up to D-Bus's 25 s for the answer: this test comes
// first, so that a window that made its icon at once would wait here.
class StatusNotifierHung : public PanelFixture {
protected:
    void SetUp() override { Start(hung); }
    void TearDown() override {
        PanelFixture::TearDown();
        hung.reset();
    }
    std::unique_ptr<HungWatcher> hung;
};

} // namespace

TEST_F(StatusNotifierHung, TheStartNeverWaitsOnThePanelAndAPanelThatComesLaterGetsTheIconAndMenu) {
    EXPECT_LT(startMs, 10000) << "the window waited on the watcher";
    EXPECT_TRUE(QTest::qWaitFor([&] { return hung->silent.asked.load(); }))
        << "the watcher was never asked";
    // While the watcher does not answer there is no icon, and the window
    // minimises to the taskbar as without a tray.
    QTest::qWait(300);
    EXPECT_EQ(form->TrayIcon1->Icon(), nullptr);
    EXPECT_FALSE(form->TrayIcon1->Available());

    // The panel is restarted and now works: the icon registers with it,
    // with the tray menu for the host to open.
    hung.reset();
    host = std::make_unique<Host>();
    ASSERT_TRUE(host->ok);
    Registered();
    EXPECT_TRUE(form->TrayIcon1->UsesStatusNotifier());
    EXPECT_TRUE(form->TrayIcon1->Available());
    EXPECT_NE(menu, "/NO_DBUSMENU");
    for (const char *label : {"Quorane", "Show radio", "Stop", "Exit"})
        EXPECT_GE(MenuItem(label), 0) << label << "\n" << layout.toStdString();
}

TEST_F(StatusNotifier, TheIconRegistersAndExportsTheTrayMenuForTheHostToOpen) {
    EXPECT_TRUE(form->TrayIcon1->UsesStatusNotifier());
    EXPECT_TRUE(form->TrayIcon1->Available());
    EXPECT_FALSE(menu.isEmpty());
    EXPECT_NE(menu, "/NO_DBUSMENU");
    for (const char *label : {"Quorane", "Show radio", "Stop", "Exit"})
        EXPECT_GE(MenuItem(label), 0) << label << "\n" << layout.toStdString();
    // The host opens it on its own right click: Quorane's own menu stays shut.
    Gdbus({"--dest", item, "--object-path", "/StatusNotifierItem", "--method",
           "org.kde.StatusNotifierItem.ContextMenu", "10", "10"});
    QTest::qWait(200);
    EXPECT_FALSE(form->PopupMenu1->isVisible());
}

TEST_F(StatusNotifier, TheHostsMenuAndLeftClickBringTheWindowBack) {
    HideToTray();
    const int show = MenuItem("Show radio");
    ASSERT_GE(show, 0);
    Click(show);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->isVisible() && !form->isMinimized(); }, 10000));

    HideToTray();
    Gdbus({"--dest", item, "--object-path", "/StatusNotifierItem", "--method",
           "org.kde.StatusNotifierItem.Activate", "10", "10"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->isVisible() && !form->isMinimized(); }, 10000));
}

#include "StatusNotifierTest.moc"
