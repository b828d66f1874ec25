// The tray icon with a StatusNotifierItem host, as KDE and GNOME's
// AppIndicator extension are: a watcher of our own on a private session bus
// (in a thread of its own, as a panel is a process of its own), the real
// main window under Xvfb, and the host's side of the protocol driven with
// gdbus: the item registers, its menu is exported for the host to open on
// its own right click, the host's menu items act, and the host's left click
// shows the window.
#include "shell/MainWindowFixture.h"
#include "shell/TrayIcon.h"
#include "shell/dbus/PrivateBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QMutex>
#include <QRegularExpression>
#include <QThread>

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

// The panel: the watcher served from a thread of its own.
class Host {
public:
    Host() {
        thread.start();
        watcher.moveToThread(&thread);
        // Connected and registered from the panel's own thread.
        QMetaObject::invokeMethod(
            &watcher,
            [this] {
                bus = std::make_unique<QDBusConnection>(
                    QDBusConnection::connectToBus(Bus->address, "host"));
                ok = bus->registerObject("/StatusNotifierWatcher", &watcher,
                                         QDBusConnection::ExportAllContents) &&
                     bus->registerService("org.kde.StatusNotifierWatcher");
            },
            Qt::BlockingQueuedConnection);
    }
    ~Host() {
        QMetaObject::invokeMethod(
            &watcher,
            [this] {
                bus->unregisterService("org.kde.StatusNotifierWatcher");
                bus->unregisterObject("/StatusNotifierWatcher");
                bus.reset();
                QDBusConnection::disconnectFromBus("host");
            },
            Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }
    QThread thread;
    Watcher watcher;
    std::unique_ptr<QDBusConnection> bus;
    bool ok = false;
};

// gdbus, run while the program's own loop goes on answering.
QString Gdbus(const QStringList &args) {
    QProcess p;
    p.start("gdbus", QStringList{"call", "--session"} + args);
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 20000))
        p.kill();
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

class StatusNotifier : public MainWindowFixture {
protected:
    void SetUp() override {
        if (Bus->address.isEmpty() || QStandardPaths::findExecutable("gdbus").isEmpty())
            GTEST_SKIP() << "dbus-daemon or gdbus missing";
        if (QGuiApplication::platformName() != "xcb")
            GTEST_SKIP() << "needs an X display (run under xvfb-run)";
        host = std::make_unique<Host>();
        ASSERT_TRUE(host->ok);
        MainWindowFixture::SetUp();
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
    QString layout; // the menu as the host last read it
};

} // namespace

TEST_F(StatusNotifier, TheIconRegistersAndExportsTheTrayMenuForTheHostToOpen) {
    EXPECT_TRUE(form->TrayIcon1->UsesStatusNotifier());
    EXPECT_TRUE(TrayIcon::Available());
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
