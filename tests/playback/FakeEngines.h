#pragma once
// Shared by the loader tests: each test starts and ends with no engine
// loaded, and reads the calls a stand-in engine logged (FakeEngine.cpp).
#include "playback/Dynamic_Bass.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        logPath = dir.filePath("calls.log");
        qputenv("QUORANE_FAKE_ENGINE_LOG", QFile::encodeName(logPath));
        ASSERT_EQ(AudioLibHandle, nullptr) << "a previous test left the engine loaded";
    }
    void TearDown() override {
        UnloadAudioLibrary();
        qunsetenv("QUORANE_FAKE_ENGINE_LOG");
    }

    // The calls logged so far, one per line.
    QList<QByteArray> calls() const {
        QFile f(logPath);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lines = f.readAll().split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    QTemporaryDir dir;
    QString logPath;
};
