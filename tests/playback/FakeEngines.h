#pragma once
// Shared by the loader tests: each test loads into a loader of its own, and
// reads the calls a stand-in engine logged (FakeEngine.cpp).
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
    }
    void TearDown() override {
        engine.UnloadAudioLibrary();
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

    DynamicBass engine;
    QTemporaryDir dir;
    QString logPath;
};
