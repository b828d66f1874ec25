// One run per settings file: a second claim on the same files asks the
// first to come to the front and is told to end; files of their own run
// side by side; a run that is ending is waited for. Each second claim runs
// on a thread of its own, as it would in a process of its own, while this
// thread answers for the first run.
#include "shell/SingleInstance.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

// A claim on `settings` made on a thread of its own; Wait() lets this
// thread's loop run until it is decided.
struct ClaimElsewhere {
    explicit ClaimElsewhere(const QString &settings)
        : thread([this, settings] {
              SingleInstance other(settings);
              result = other.Claim();
              done = true;
          }) {}
    ~ClaimElsewhere() { thread.join(); }
    bool Wait(int ms = 20000) {
        return QTest::qWaitFor([&] { return done.load(); }, ms);
    }
    std::atomic<bool> done{false};
    SingleInstance::Claimed result = SingleInstance::Claimed::Unguarded;
    std::thread thread;
};

} // namespace

TEST(SingleInstance, ASecondClaimOnTheSameFilesRaisesTheFirstAndEnds) {
    QTemporaryDir dir;
    const QString settings = dir.path() + "/Quorane.ini";
    auto first = std::make_unique<SingleInstance>(settings);
    ASSERT_EQ(first->Claim(), SingleInstance::Claimed::First);
    EXPECT_TRUE(QFile::exists(dir.path() + "/Quorane.lock"));
    int raised = 0;
    QObject::connect(first.get(), &SingleInstance::RaiseRequested, [&] { ++raised; });

    {
        ClaimElsewhere second(settings);
        ASSERT_TRUE(second.Wait());
        EXPECT_EQ(second.result, SingleInstance::Claimed::Another);
    }
    EXPECT_EQ(raised, 1);
    EXPECT_FALSE(QFile::exists(settings)) << "the second start wrote nothing";

    // Another folder, other files: side by side.
    QTemporaryDir elsewhere;
    SingleInstance own(elsewhere.path() + "/Quorane.ini");
    EXPECT_EQ(own.Claim(), SingleInstance::Claimed::First);

    // Something else on the socket is not a request.
    QLocalSocket stranger;
    stranger.connectToServer(SingleInstance::ServerNameFor(settings));
    ASSERT_TRUE(stranger.waitForConnected(5000));
    stranger.write("hello there, how are you\n");
    stranger.flush();
    EXPECT_TRUE(QTest::qWaitFor([&] { return stranger.state() != QLocalSocket::ConnectedState; }));
    EXPECT_EQ(raised, 1);

    // A run that is ending takes no requests: a new start waits for its
    // files, then runs.
    first->StopListening();
    ClaimElsewhere restart(settings);
    EXPECT_FALSE(restart.Wait(500));
    first.reset();
    ASSERT_TRUE(restart.Wait());
    EXPECT_EQ(restart.result, SingleInstance::Claimed::First);
}

TEST(SingleInstance, AFolderThatCannotHoldTheLockLeavesTheRunUnguarded) {
    QTemporaryDir dir;
    // A file where the folder should be: no lock can be made beside it.
    QFile blocker(dir.path() + "/app");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    SingleInstance run(dir.path() + "/app/Quorane.ini");
    EXPECT_EQ(run.Claim(), SingleInstance::Claimed::Unguarded);
}
