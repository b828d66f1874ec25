// A handler of the main window that fails with something that is not one of
// Quorane's errors (a library out of memory, a thrown int) ends in one error
// box; the window, its list and its other handlers carry on.
#include "MainWindowFixture.h"

#include <QLineEdit>
#include <new>

namespace {

// Prompts whose file dialogs fail as a library would; every other prompt is
// scripted as usual, so the error box is recorded.
class FailingDialogs : public ScriptedPrompts {
public:
    QString OpenFileName(QWidget *, const QString &, const QString &) override {
        throw std::bad_alloc();
    }
    QString SaveFileName(QWidget *, const QString &, const QString &) override { throw 42; }
};

class HandlerFailure : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        Prompts::Install(&failing);
    }
    void TearDown() override {
        Prompts::Install(&app.prompts);
        MainWindowFixture::TearDown();
    }
    FailingDialogs failing;
};

} // namespace

TEST_F(HandlerFailure, AForeignExceptionShowsTheErrorBoxAndTheWindowLivesOn) {
    ShowActive();
    const QStringList before = Lines();
    // Load list and Save list of the real menus, as a click on them runs.
    form->Loadlist1->trigger();
    form->Savelist1->trigger();
    const auto boxes = failing.ErrorBoxes();
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[0].title, ApplicationTitle());
    EXPECT_FALSE(boxes[0].text.isEmpty()) << "the allocator's own text";
    EXPECT_EQ(boxes[1].text, QString::fromLatin1(UnknownErrorText) + ".");
    // Nothing was lost and the window still answers its user.
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(Lines(), before);
    form->sEdit1->setText("Gamma");
    EXPECT_EQ(form->CurrentStation(), 2);
    form->Mute1->trigger();
    EXPECT_EQ(form->sTrackBar1->value(), 0);
    EXPECT_EQ(failing.ErrorBoxes().size(), 2);
}
