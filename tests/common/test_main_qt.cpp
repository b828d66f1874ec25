// Test entry for programs that use Qt Core (and Network) without a display.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include "common/ThreadsSettle.h"

int main(int argc, char **argv) {
    // Before any global of Qt's is made, so that it runs after they go.
    WaitForThreadsAtExit();
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
