// Connect and Dispatch with real Qt signals: whatever a handler throws ends
// in one error box and the program carries on; the signal's arguments reach
// the handler, whether it is a member function or a lambda.
#include "platform/QuoraneError.h"
#include "platform/ScriptedPrompts.h"
#include "window/Dispatch.h"

#include <QAction>
#include <QSlider>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

class ConnectTest : public ::testing::Test {
protected:
    void SetUp() override { Prompts::Install(&prompts); }
    void TearDown() override { Prompts::Install(nullptr); }
    QStringList ErrorTexts() const {
        QStringList out;
        for (const auto &e : prompts.ErrorBoxes())
            out.append(e.text);
        return out;
    }
    ScriptedPrompts prompts;
};

// A receiver with a handler that takes the signal's argument.
class Receiver : public QObject {
public:
    void Take(int value) { values.append(value); }
    void Fail() { throw QuoraneError(QStringLiteral("Cannot open file \"x\". Gone")); }
    QList<int> values;
};

} // namespace

TEST_F(ConnectTest, EveryKindOfFailureEndsInTheErrorBoxAndTheNextSignalStillWorks) {
    QAction action;
    Receiver receiver;
    int kind = 0, calls = 0;
    Connect(&action, &QAction::triggered, &receiver, [&] {
        ++calls;
        switch (kind) {
        case 0:
            throw QuoraneError(QStringLiteral("Unable to write to Quorane.ini"));
        case 1:
            throw std::runtime_error("bad_alloc-like failure");
        case 2:
            throw 42; // not an exception class at all
        default:
            return;
        }
    });
    for (kind = 0; kind <= 3; ++kind)
        action.trigger();
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(ErrorTexts(),
              (QStringList{"Unable to write to Quorane.ini.", "bad_alloc-like failure.",
                           QString::fromLatin1(UnknownErrorText) + "."}));
    // A member function handler fails the same way.
    Connect(&action, &QAction::triggered, &receiver, &Receiver::Fail);
    action.trigger();
    EXPECT_EQ(ErrorTexts().size(), 4);
    EXPECT_EQ(ErrorTexts().last(), "Cannot open file \"x\". Gone.");
}

TEST_F(ConnectTest, TheSignalsArgumentsReachMemberAndLambdaHandlers) {
    QSlider slider;
    slider.setRange(0, 100);
    Receiver receiver;
    QList<int> seenByLambda;
    int bare = 0;
    Connect(&slider, &QSlider::valueChanged, &receiver, &Receiver::Take);
    Connect(&slider, &QSlider::valueChanged, &receiver,
            [&](int value) { seenByLambda.append(value); });
    Connect(&slider, &QSlider::valueChanged, &receiver, [&] { ++bare; });
    slider.setValue(7);
    slider.setValue(93);
    EXPECT_EQ(receiver.values, (QList<int>{7, 93}));
    EXPECT_EQ(seenByLambda, (QList<int>{7, 93}));
    EXPECT_EQ(bare, 2);
    EXPECT_TRUE(prompts.ErrorBoxes().isEmpty());
}

TEST_F(ConnectTest, AHandlerEndsWithItsReceiver) {
    QAction action;
    int calls = 0;
    {
        Receiver receiver;
        Connect(&action, &QAction::triggered, &receiver, [&] { ++calls; });
        action.trigger();
    }
    action.trigger();
    EXPECT_EQ(calls, 1);
}
