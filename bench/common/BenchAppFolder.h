#pragma once
// A throw-away application folder for the benchmarks that run the real
// windows offscreen: <tmp>/app/Data for the station file, <tmp>/config for
// the window geometry, the executable's path pointed into the folder, and
// scripted prompts, so that nothing waits for a user. Create it after the
// QApplication.
#include "platform/AppPaths.h"
#include "platform/Prompts.h"
#include "platform/ScriptedPrompts.h"

#include <QDir>
#include <QTemporaryDir>

class BenchAppFolder {
public:
    BenchAppFolder() {
        QDir(dir.path()).mkpath("app/Data");
        QDir(dir.path()).mkpath("config");
        qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toLocal8Bit());
        AppPaths::SetExecutableForTesting(dir.path() + "/app/Quorane");
        Prompts::Install(&prompts);
    }
    ~BenchAppFolder() { Prompts::Install(nullptr); }
    BenchAppFolder(const BenchAppFolder &) = delete;
    BenchAppFolder &operator=(const BenchAppFolder &) = delete;

    QString StationFile() const { return dir.path() + "/app/Data/stations.txt"; }

    QTemporaryDir dir;
    ScriptedPrompts prompts;
};
