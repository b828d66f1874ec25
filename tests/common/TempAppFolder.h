#pragma once
// A throw-away application folder for tests: <tmp>/app/ with Data/ and
// Plugins/, the executable path pointed at <tmp>/app/Quorane (so AppDir, the
// settings file and the station file are all in it), and the window-geometry
// folder ($XDG_CONFIG_HOME) at <tmp>/config. Everything goes when it does.
#include "BuildPaths.h"
#include "platform/AppPaths.h"
#include "platform/Prompts.h"
#include "platform/ScriptedPrompts.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class TempAppFolder {
public:
    TempAppFolder() {
        EXPECT_TRUE(tmp.isValid());
        QDir(tmp.path()).mkpath("app/Data");
        QDir(tmp.path()).mkpath("app/Plugins");
        QDir(tmp.path()).mkpath("config");
        oldConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", Config().toLocal8Bit());
        AppPaths::SetExecutableForTesting(App() + "Quorane");
        Prompts::Install(&prompts);
        // The real audio engine, as the build lays it into the application folder.
        InstallEngine(QString::fromLocal8Bit(quorane::test::BuildPath("QUORANE_APPDIR")) +
                      "/Plugins/libbass.so");
    }
    // Puts `library` in place as Plugins/libbass.so (replacing any there).
    void InstallEngine(const QString &library) {
        QFile::remove(EngineFile());
        ASSERT_TRUE(QFile::link(library, EngineFile())) << library.toStdString();
    }
    void RemoveEngine() { QFile::remove(EngineFile()); }
    QString EngineFile() const { return App() + "Plugins/libbass.so"; }
    ~TempAppFolder() {
        Prompts::Install(nullptr);
        AppPaths::SetExecutableForTesting(QString());
        if (oldConfig_.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", oldConfig_);
    }
    // The application folder, with a trailing "/".
    QString App() const { return tmp.path() + "/app/"; }
    QString Config() const { return tmp.path() + "/config"; }
    QString StationFile() const { return App() + "Data/stations.txt"; }
    QString SettingsFile() const { return App() + "Quorane.ini"; }
    QString GeometryFile() const { return Config() + "/Quorane.INI"; }

    static void Write(const QString &path, const QByteArray &bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write(bytes);
    }
    static QByteArray Read(const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir tmp;
    ScriptedPrompts prompts;

private:
    QByteArray oldConfig_;
};
