// Test entry for programs that drive real widgets. Without a display the
// offscreen platform is used, so the same tests run on a desktop, under Xvfb
// and in CI.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

#include "common/ThreadsSettle.h"

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("SDL_AUDIODRIVER"))
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    // Before any global of Qt's is made, so that it runs after they go.
    WaitForThreadsAtExit();
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
