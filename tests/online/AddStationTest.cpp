// The "Add a new station" dialog, real widgets beside the real main window:
// its controls, the line Add puts at the top of the list, and the submission
// to the list server of our own.
#include "OnlineWindowFixture.h"
#include "online/ExpectedRequests.h"
#include "platform/CodePage.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using quorane::test::ListAnswer;

namespace {

struct AddStation : OnlineWindowFixture {
    void SetUp() override {
        OnlineWindowFixture::SetUp();
        ListAnswer thanks;
        thanks.body = "Thank you";
        server.answer("/quorane/add.php", thanks);
    }
    void Type(const QString &name, const QString &url, const QString &genre, const QString &country,
              const QString &language, const QString &description) {
        dialog->sEdit1->setText(name);
        dialog->sEdit2->setText(url);
        dialog->sEdit3->setText(genre);
        dialog->sEdit4->setText(country);
        dialog->sEdit5->setText(language);
        dialog->sEdit6->setText(description);
    }
    void Open() {
        dialog->show();
        dialog->activateWindow();
        QApplication::setActiveWindow(dialog.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }
    void ClickAdd() { QTest::mouseClick(dialog->sButton1, Qt::LeftButton); }
};

} // namespace

TEST_F(AddStation, TheDialogHasItsControlsWhereTheUserExpectsThem) {
    EXPECT_EQ(dialog->windowTitle(), "Add a new station");
    EXPECT_EQ(dialog->size(), QSize(433, 276));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(dialog->sPanel1->geometry(), QRect(8, 8, 417, 257));

    const std::tuple<QLabel *, QPoint, QString> labels[] = {
        {dialog->sLabel1, {16, 13}, "Station name"},
        {dialog->sLabel2,
         {16, 59},
         "Station streaming URL (e.g. http://radio.example.net:8100/stream.mp3)"},
        {dialog->sLabel3, {16, 107}, "Genre"},
        {dialog->sLabel4, {152, 107}, "Country"},
        {dialog->sLabel5, {280, 107}, "Language"},
        {dialog->sLabel6, {16, 154}, "Description"},
    };
    for (const auto &[label, at, text] : labels) {
        EXPECT_EQ(label->parentWidget(), dialog->sPanel1);
        EXPECT_EQ(label->pos(), at) << text.toStdString();
        EXPECT_EQ(label->text(), text);
    }
    const std::tuple<QLineEdit *, QRect, QString> edits[] = {
        {dialog->sEdit1, {16, 32, 385, 21}, ""},   {dialog->sEdit2, {16, 80, 385, 21}, "http://"},
        {dialog->sEdit3, {16, 126, 129, 21}, ""},  {dialog->sEdit4, {152, 126, 121, 21}, ""},
        {dialog->sEdit5, {280, 126, 121, 21}, ""}, {dialog->sEdit6, {16, 173, 385, 21}, ""},
    };
    for (const auto &[edit, rect, text] : edits) {
        EXPECT_EQ(edit->parentWidget(), dialog->sPanel1);
        EXPECT_EQ(edit->geometry(), rect);
        EXPECT_EQ(edit->text(), text);
        EXPECT_EQ(edit->maxLength(), 32767); // Qt's own limit: none of ours
    }
    // Laid out at 94, 201, 229 x 20; wider where the font needs it, so the
    // caption is never cut, and always inside the panel.
    const QRect box = dialog->sCheckBox1->geometry();
    EXPECT_EQ(box.top(), 201);
    EXPECT_EQ(box.height(), 20);
    EXPECT_GE(box.width(), qMax(229, dialog->sCheckBox1->sizeHint().width()));
    EXPECT_LE(box.right(), 417 - 8);
    EXPECT_LE(box.left(), 94);
    EXPECT_EQ(dialog->sCheckBox1->text(), "Also share this station with other listeners");
    EXPECT_TRUE(dialog->sCheckBox1->isChecked());
    EXPECT_EQ(dialog->sButton1->geometry(), QRect(245, 224, 75, 25));
    EXPECT_EQ(dialog->sButton1->text(), "Add");
    EXPECT_TRUE(dialog->sButton1->isDefault());
    EXPECT_EQ(dialog->sButton2->geometry(), QRect(326, 224, 75, 25));
    EXPECT_EQ(dialog->sButton2->text(), "Cancel");

    // Tab walks the edits, then Add, the check box and Cancel.
    QWidget *expected[] = {dialog->sEdit1,   dialog->sEdit2,     dialog->sEdit3,
                           dialog->sEdit4,   dialog->sEdit5,     dialog->sEdit6,
                           dialog->sButton1, dialog->sCheckBox1, dialog->sButton2};
    QWidget *w = dialog->sEdit1;
    for (QWidget *next : expected) {
        EXPECT_EQ(w, next) << next->metaObject()->className();
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus)
            w = w->nextInFocusChain();
    }
}

TEST_F(AddStation, AddPutsTheLineAtTheTopAndGivesEveryStationItsRow) {
    dialog->sCheckBox1->setChecked(false);
    Open();
    Type("Jazz Cafe", "http://jazz.example:8100/stream.mp3", "Jazz", "France", "French",
         "Smooth jazz");
    ClickAdd();

    ASSERT_EQ(Lines().size(), 5);
    EXPECT_EQ(
        Lines()[0],
        "Jazz Cafe\tSmooth jazz\tJazz\tFrance\tFrench\thttp://jazz.example:8100/stream.mp3\t\t");
    EXPECT_EQ(Lines()[1].left(11), "Alpha Radio");
    EXPECT_EQ(form->Model->RowCount(), 5);
    // The view reads the fields back in the order of the station file.
    EXPECT_EQ(form->Model->Text(0, 1), "Jazz Cafe");
    EXPECT_EQ(form->Model->Text(0, 4), "http://jazz.example:8100/stream.mp3");
    EXPECT_EQ(form->Model->Text(0, 5), "Smooth jazz");
    EXPECT_EQ(form->Model->Text(0, 7), "");
    EXPECT_EQ(form->Model->Text(4, 1), "Delta Rock");
    // Unticked: nothing goes to the server. The dialog closes, keeping its texts.
    EXPECT_EQ(server.connections(), 0);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->sEdit1->text(), "Jazz Cafe");
    EXPECT_TRUE(ErrorTexts().isEmpty());

    // Every edit emptied: seven tabs.
    Open();
    Type("", "", "", "", "", "");
    QTest::keyClick(dialog->sEdit3, Qt::Key_Return);
    EXPECT_EQ(Lines()[0], "\t\t\t\t\t\t\t");
    EXPECT_EQ(form->Model->RowCount(), 6);
}

TEST_F(AddStation, SharingPostsTheFieldsAndClosesTheConnection) {
    Open();
    Type("My Radio", "http://my.example:8000/live?x=1&y=2", "Rock & Roll", "Deutschland", "Deutsch",
         "50% hits");
    ClickAdd();
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u) << ErrorTexts().join("|").toStdString();
    // Every value arrives as typed: "&", "=", "%", ":", "/" and "?" are
    // encoded, so none of them splits or changes a field.
    const std::string body =
        "radio=My%20Radio&url=http%3A%2F%2Fmy.example%3A8000%2Flive%3Fx%3D1%26y%3D2"
        "&genre=Rock%20%26%20Roll&country=Deutschland&lang=Deutsch"
        "&desc=50%25%20hits";
    EXPECT_EQ(requests[0].bytes, ExpectedPost(Host(), "/quorane/add.php", body));
    EXPECT_FALSE(dialog->IdHTTP1.Connected());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(Lines()[0].left(9), "My Radio\t");
    EXPECT_TRUE(ErrorTexts().isEmpty());
}

TEST_F(AddStation, TheListKeepsWhatTheCodePageCanHoldWhileTheServerGetsTheTypedName) {
    ASSERT_TRUE(CodePage::SetForTesting("windows-1252"));
    Open();
    Type(QString::fromUtf8("Caf\u00e9 \u263a"), "http://x/", "", "", "", "");
    ClickAdd();
    CodePage::SetForTesting(QByteArray());
    EXPECT_EQ(Lines()[0], QString::fromUtf8("Caf\u00e9 ?\t\t\t\t\thttp://x/\t\t"));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].bytes.find("\r\n\r\nradio=Caf%C3%A9%20%E2%98%BA&url=http%3A%2F%2Fx%2F&"),
              std::string::npos)
        << requests[0].bytes;
}

TEST_F(AddStation, AFailedSubmissionKeepsTheDialogAndTheStationAndAddsItOnlyOnce) {
    ListAnswer refused;
    refused.status = 500;
    server.answer("/quorane/add.php", refused);
    Open();
    Type("Twice", "http://twice/", "", "", "", "");
    ClickAdd();
    EXPECT_EQ(ErrorTexts(), QStringList{"HTTP/1.1 500 Internal Server Error."});
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->sEdit1->text(), "Twice");
    EXPECT_EQ(Lines()[0], "Twice\t\t\t\t\thttp://twice/\t\t");
    EXPECT_FALSE(dialog->IdHTTP1.Connected());

    // With the server gone, Add again: the socket error, and still one line.
    ListServerAddress::SetForTesting(QStringLiteral("nonexistent.invalid"), 8100);
    ClickAdd();
    EXPECT_EQ(ErrorTexts().size(), 2);
    EXPECT_EQ(ErrorTexts().last(), "Socket Error # 1\r\nHost not found.");
    EXPECT_EQ(Lines().size(), 5);
    EXPECT_NE(Lines()[1], Lines()[0]);
    EXPECT_TRUE(dialog->isVisible());

    // The server back: the retry goes through, the list still has it once.
    ListServerAddress::SetForTesting(QStringLiteral("127.0.0.1"), server.port());
    server.answer("/quorane/add.php", ListAnswer());
    ClickAdd();
    EXPECT_EQ(ErrorTexts().size(), 2);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(Lines().size(), 5);
    EXPECT_EQ(form->Model->RowCount(), 5);
    EXPECT_EQ(server.requests().size(), 2u);

    // Changed texts after a failure are a new station.
    server.answer("/quorane/add.php", refused);
    Open();
    ClickAdd();
    EXPECT_EQ(Lines().size(), 6) << "an Add after a good one is a new Add";
    Type("Other", "http://other/", "", "", "", "");
    ClickAdd();
    EXPECT_EQ(Lines().size(), 7);
    EXPECT_EQ(Lines()[0].left(6), "Other\t");
}

TEST_F(AddStation, AnAnswerCutShortStillCountsAsSubmitted) {
    // The server took the station and answered; its connection broke before
    // the whole receipt came. That is no failure, and no second Add is needed.
    ListAnswer cut;
    cut.body = std::string(100, 'x');
    cut.closeAfterBodyBytes = 60;
    server.answer("/quorane/add.php", cut);
    Open();
    Type("Cut", "http://cut/", "", "", "", "");
    ClickAdd();
    EXPECT_TRUE(ErrorTexts().isEmpty()) << ErrorTexts().join("|").toStdString();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(Lines().size(), 5);
}

TEST_F(AddStation, CancelAndEscCloseWithoutAddingAnything) {
    Open();
    Type("Never", "http://never/", "", "", "", "");
    QTest::mouseClick(dialog->sButton2, Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    Open();
    QTest::keyClick(dialog->sEdit1, Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(Lines().size(), 4);
    EXPECT_EQ(server.connections(), 0);
    // The typed texts wait for the next opening.
    EXPECT_EQ(dialog->sEdit1->text(), "Never");
}
