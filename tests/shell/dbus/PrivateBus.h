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
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!daemon.waitForStarted(10000) || !daemon.waitForReadyRead(10000))
            return;
        address = QString::fromLocal8Bit(daemon.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toLocal8Bit());
    }
    void TearDown() override {
        daemon.kill();
        daemon.waitForFinished(5000);
    }
    QProcess daemon;
    QString address;
};
