#pragma once
// A session bus of the test program's own, started before anything in the
// program connects to one (Qt keeps the first session bus it finds for the
// life of the process); it goes with the program. Its address is empty when
// dbus-daemon is missing.
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

class PrivateBus : public ::testing::Environment {
public:
    void SetUp() override {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            return;
        // Under timeout, so that it stops by itself even when the program is
        // killed before TearDown; the program's tests end well within it.
        daemon.start("timeout", {"--foreground", "-k", "5", "300", "dbus-daemon", "--session",
                                 "--nofork", "--print-address=1"});
        if (!daemon.waitForStarted(10000) || !daemon.waitForReadyRead(10000))
            return;
        address = QString::fromLocal8Bit(daemon.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toLocal8Bit());
    }
    void TearDown() override {
        // SIGTERM, which timeout hands on: a SIGKILL would end timeout alone.
        daemon.terminate();
        if (!daemon.waitForFinished(5000)) {
            daemon.kill();
            daemon.waitForFinished(5000);
        }
    }
    QProcess daemon;
    QString address;
};
