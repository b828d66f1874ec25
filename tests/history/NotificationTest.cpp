// Title notifications, received by a notification service of the test's
// own on a private session bus: what each carries (summary, body, icon,
// the notification it replaces), and when none is sent: the main window
// active, the tick off, a title repeated, a fallback title, no service.
#include "HistoryFixture.h"
#include "shell/dbus/PrivateBus.h"

#include "history/NotificationImage.h"
#include "history/TitleNotifier.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QVariantMap>

namespace {

PrivateBus *Bus = static_cast<PrivateBus *>(::testing::AddGlobalTestEnvironment(new PrivateBus));

// The desktop's notification service, as far as Quorane uses it: it keeps
// every notification asked for and answers as a real one does (a new id,
// or the id of the notification replaced).
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown {
        QString app, icon, summary, body;
        uint replacesId = 0;
        uint id = 0;
        QVariantMap hints;
    };

    NotificationService() : bus(QDBusConnection::connectToBus(Bus->address, "notifications")) {
        bus.registerObject(TitleNotifier::ObjectPath(), this, QDBusConnection::ExportAllSlots);
        registered = bus.registerService(TitleNotifier::Service());
    }
    ~NotificationService() override {
        bus.unregisterService(TitleNotifier::Service());
        QDBusConnection::disconnectFromBus("notifications");
    }

    QDBusConnection bus;
    bool registered = false;
    QList<Shown> shown;
    uint lastId = 40;

public Q_SLOTS:
    QStringList GetCapabilities() { return {"body", "body-markup"}; }
    uint Notify(const QString &app, uint replacesId, const QString &icon, const QString &summary,
                const QString &body, const QStringList &, const QVariantMap &hints, int) {
        const uint id = replacesId != 0 ? replacesId : ++lastId;
        shown.append({app, icon, summary, body, replacesId, id, hints});
        return id;
    }
    void CloseNotification(uint) {}
};

class Notifications : public HistoryFixture {
protected:
    void SetUp() override {
        if (Bus->address.isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        service = std::make_unique<NotificationService>();
        ASSERT_TRUE(service->registered);
        HistoryFixture::SetUp();
    }
    void TearDown() override {
        HistoryFixture::TearDown();
        service.reset();
    }
    QStringList Bodies() const {
        QStringList b;
        for (const auto &n : service->shown)
            b.append(n.body);
        return b;
    }
    // Plays "Local FM" until `entries` titles are recorded, then stops and
    // lets the last answers come in.
    void ListenTo(qsizetype entries) {
        PlayRow(0);
        ASSERT_TRUE(WaitForEntries(entries)) << Titles().join(" | ").toStdString();
        Stop();
        QTest::qWait(200);
    }
    std::unique_ptr<NotificationService> service;
};

} // namespace

TEST_F(Notifications, EachNewTitleReplacesTheLastWhileTheWindowIsHidden) {
    // Never shown: as when it sits in the tray.
    ListenTo(3);
    const qsizetype recorded = form->History->Entries().size();
    ASSERT_GE(service->shown.size(), 3);
    // One notification a recorded title: the repeat and the empty title
    // (the station's name in the panel) gave none.
    EXPECT_EQ(service->shown.size(), recorded);
    EXPECT_EQ(Bodies().mid(0, 3),
              QStringList({"Nina Frost - Cold Morning",
                           "Rock &amp; &lt;Roll&gt;", // the service reads markup
                           "Nina Frost - Cold Morning"}));
    for (const auto &n : service->shown) {
        EXPECT_EQ(n.app, "Quorane");
        EXPECT_EQ(n.summary, "Local FM");
        EXPECT_EQ(n.icon, "quorane");
        EXPECT_EQ(n.hints.value("desktop-entry"), "quorane");
        const NotificationImage image =
            qdbus_cast<NotificationImage>(n.hints.value("image-data").value<QDBusArgument>());
        EXPECT_EQ(image.width, 48);
        EXPECT_EQ(image.height, 48);
        EXPECT_EQ(image.data.size(), image.rowStride * image.height);
    }
    // The first stands alone; each later one replaces it.
    EXPECT_EQ(service->shown[0].replacesId, 0u);
    for (qsizetype i = 1; i < service->shown.size(); ++i)
        EXPECT_EQ(service->shown[i].replacesId, service->shown[0].id) << i;
}

TEST_F(Notifications, NoneWhileTheWindowIsActiveAndThemAgainOnceItIsHidden) {
    ShowActive();
    PlayRow(0);
    ASSERT_TRUE(WaitForEntries(2));
    QTest::qWait(100);
    EXPECT_TRUE(service->shown.isEmpty());
    // Hidden in the tray: the next title is told.
    form->hide();
    const qsizetype before = form->History->Entries().size();
    ASSERT_TRUE(WaitForEntries(before + 1));
    Stop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !service->shown.isEmpty(); }, 5000));
    EXPECT_EQ(service->shown.first().body, Titles().at(before));
}

TEST_F(Notifications, NoneWithTheTickOff) {
    form->Notifyontitlechange1->trigger();
    ASSERT_FALSE(form->Notifyontitlechange1->isChecked());
    ListenTo(1);
    EXPECT_TRUE(service->shown.isEmpty());
}

TEST_F(HistoryFixture, WithoutANotificationServiceNothingHappens) {
    if (Bus->address.isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QDBusConnection check = QDBusConnection::connectToBus(Bus->address, "check");
    ASSERT_FALSE(check.interface()->isServiceRegistered(TitleNotifier::Service()));
    QDBusConnection::disconnectFromBus("check");
    PlayRow(0);
    ASSERT_TRUE(WaitForEntries(1));
    Stop();
    QTest::qWait(200);
    EXPECT_TRUE(Errors().isEmpty());
    EXPECT_EQ(form->Notifier->LastId(), 0u);
}

#include "NotificationTest.moc"
