// The commands that change the list: Clear list, Delete station, Load list
// and Save list, with real files in the application folder. After each the
// view has one row per line.
#include "MainWindowFixture.h"
#include "platform/CodePage.h"
#include "window/Dispatch.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QStringEncoder>
#include <sys/stat.h>

namespace {

using ListCommands = MainWindowFixture;

const QStringList StartLines = {
    "Alpha Radio\tJazz all "
    "day\tJazz\tUSA\tEnglish\thttp://alpha.example/live\thttp://alpha.example",
    "Beta FM\tNews and "
    "talk\tNews\tUK\tEnglish\thttp://beta.example/stream\thttp://beta-home.example",
    "Gamma\tclassical\tClassical\tAustria\tGerman\thttp://gamma.example/a.mp3\t",
    "Delta Rock\tRock hits\tRock\tUSA\tEnglish\thttp://delta.example/rock\t"};

} // namespace

TEST_F(ListCommands, ClearListAsksAndOnlyYesClears) {
    ASSERT_EQ(Lines(), StartLines);
    ASSERT_EQ(form->Model->RowCount(), 4);
    app.prompts.SetNextAnswer(false);
    form->Clearlist1->trigger();
    ASSERT_EQ(app.prompts.shown.size(), 1);
    EXPECT_EQ(app.prompts.shown[0].kind, "question");
    EXPECT_EQ(app.prompts.shown[0].title, "Quorane");
    EXPECT_EQ(app.prompts.shown[0].text, "Are you sure you want to clear radiostations list?");
    EXPECT_EQ(Lines(), StartLines);
    EXPECT_EQ(form->Model->RowCount(), 4);

    app.prompts.SetNextAnswer(true);
    form->Clearlist1->trigger();
    EXPECT_TRUE(Lines().isEmpty());
    EXPECT_EQ(form->Model->RowCount(), 0);
}

TEST_F(ListCommands, DeleteWithNothingSelectedReportsTheIndexAndKeepsEverything) {
    form->sListView1->clearSelection();
    form->Deletestation1->trigger();
    const auto errors = Errors();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].text, "List index out of bounds (-1)");
    EXPECT_EQ(errors[0].title, ApplicationTitle());
    EXPECT_EQ(errors[0].title, "Quorane");
    EXPECT_EQ(Lines(), StartLines);
    EXPECT_EQ(form->Model->RowCount(), 4) << "every line keeps its row";
}

TEST_F(ListCommands, DeletingTheLastRowLeavesOneRowPerLine) {
    Select({3});
    form->Deletestation1->trigger();
    EXPECT_TRUE(Errors().isEmpty());
    EXPECT_EQ(Lines(), StartLines.mid(0, 3));
    EXPECT_EQ(form->Model->RowCount(), 3);
    EXPECT_EQ(form->Model->Text(2, 1), "Gamma");
}

TEST_F(ListCommands, TwoDeletesInTurnTakeTheLowestSelectedRowEachTime) {
    Select({2, 1});
    form->Deletestation1->trigger();
    EXPECT_EQ(Lines(), QStringList({StartLines[0], StartLines[2], StartLines[3]}));
    EXPECT_EQ(form->Model->RowCount(), 3);
    // The row that moved up into the deleted one's place is still selected.
    form->Deletestation1->trigger();
    EXPECT_EQ(Lines(), QStringList({StartLines[0], StartLines[3]}));
    EXPECT_EQ(form->Model->RowCount(), 2);
    EXPECT_EQ(form->Model->Text(1, 1), "Delta Rock");
    EXPECT_TRUE(Errors().isEmpty());
}

TEST_F(ListCommands, ReleasingDeleteInTheListDeletesWithAnyModifierAndRedrawsAfter) {
    ShowActive();
    form->sListView1->setFocus();
    Select({0});
    Key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(Lines(), StartLines.mid(1));
    Select({2});
    Key(Qt::Key_Delete, Qt::AltModifier);
    EXPECT_EQ(Lines(), QStringList({StartLines[1], StartLines[2]}));
    EXPECT_TRUE(form->sListView1->updatesEnabled());

    // A failed deletion also lets the view draw again.
    form->sListView1->clearSelection();
    Key(Qt::Key_Delete);
    ASSERT_EQ(Errors().size(), 1);
    EXPECT_EQ(Errors()[0].text, "List index out of bounds (-1)");
    EXPECT_TRUE(form->sListView1->updatesEnabled());
    EXPECT_EQ(form->Model->RowCount(), 2);
}

TEST_F(ListCommands, LoadListCancelledChangesNothing) {
    form->Loadlist1->trigger();
    ASSERT_EQ(app.prompts.shown.size(), 1);
    EXPECT_EQ(app.prompts.shown[0].kind, "open");
    EXPECT_EQ(QDir(app.prompts.shown[0].text).canonicalPath(),
              QDir(app.App() + "Data").canonicalPath());
    EXPECT_EQ(app.prompts.shown[0].filter, "*.txt");
    EXPECT_EQ(Lines(), StartLines);
    EXPECT_EQ(form->Model->RowCount(), 4);
}

TEST_F(ListCommands, LoadListOfAMissingFileReportsItAndLosesNothing) {
    Select({1});
    const QString missing = app.App() + "Data/not there.txt";
    app.prompts.SetNextFileName(missing);
    form->Loadlist1->trigger();
    const auto errors = Errors();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].text.startsWith("Cannot open file \"" + missing + "\". "))
        << errors[0].text.toStdString();
    EXPECT_EQ(Lines(), StartLines);
    EXPECT_EQ(form->Model->RowCount(), 4);
    EXPECT_EQ(form->CurrentStation(), 1);
}

TEST_F(ListCommands, LoadListOfAFifoADeviceOrAFolderReturnsAtOnceAndKeepsTheList) {
    const QString fifo = app.App() + "Data/pipe.txt";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    Select({2});
    for (const QString &name : {fifo, QString("/dev/zero"), app.App() + "Data"}) {
        app.prompts.shown.clear();
        app.prompts.SetNextFileName(name);
        QElapsedTimer clock;
        clock.start();
        form->Loadlist1->trigger();
        EXPECT_LT(clock.elapsed(), 5000) << name.toStdString();
        const auto errors = Errors();
        ASSERT_EQ(errors.size(), 1) << name.toStdString();
        const QString start = "Cannot open file \"" + name + "\". ";
        EXPECT_TRUE(errors[0].text.startsWith(start)) << errors[0].text.toStdString();
        EXPECT_GT(errors[0].text.size(), start.size() + 5) << "with a reason";
        EXPECT_EQ(Lines(), StartLines) << name.toStdString();
        EXPECT_EQ(form->Model->RowCount(), 4);
        EXPECT_EQ(form->CurrentStation(), 2);
    }
    // The window goes on answering: the search still finds and selects.
    form->sEdit1->setText("Delta");
    EXPECT_EQ(form->CurrentStation(), 3);
}

TEST_F(ListCommands, LoadListReadsUtf16AndEmptyFiles) {
    const QString wide = app.App() + "Data/wide.txt";
    QStringEncoder utf16(QStringEncoder::Utf16LE);
    QByteArray bytes("\xFF\xFE", 2);
    bytes += utf16.encode(QStringLiteral("Radio Wien\tÖsterreich\r\nΚρήτη FM\tGreek\r\n"));
    TempAppFolder::Write(wide, bytes);
    app.prompts.SetNextFileName(wide);
    form->Loadlist1->trigger();
    EXPECT_TRUE(Errors().isEmpty());
    EXPECT_EQ(Lines(), QStringList({"Radio Wien\tÖsterreich", "Κρήτη FM\tGreek"}));
    EXPECT_EQ(form->Model->RowCount(), 2);
    EXPECT_EQ(form->Model->Text(1, 1), "Κρήτη FM");

    const QString empty = app.App() + "Data/empty.txt";
    TempAppFolder::Write(empty, QByteArray());
    app.prompts.SetNextFileName(empty);
    form->Loadlist1->trigger();
    EXPECT_TRUE(Lines().isEmpty());
    EXPECT_EQ(form->Model->RowCount(), 0);
}

TEST_F(ListCommands, SaveListWritesUnderExactlyTheChosenName) {
    const QString name = app.App() + "Data/mylist";
    app.prompts.SetNextFileName(name);
    form->Savelist1->trigger();
    ASSERT_EQ(app.prompts.shown.size(), 1);
    EXPECT_EQ(app.prompts.shown[0].kind, "save");
    EXPECT_EQ(app.prompts.shown[0].filter, "*.txt");
    EXPECT_TRUE(Errors().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(name));
    EXPECT_FALSE(QFileInfo::exists(name + ".txt"));
    EXPECT_EQ(TempAppFolder::Read(name), CodePage::ToAnsi(StartLines.join("\r\n") + "\r\n"));

    // An existing file is replaced without a question.
    form->Stations.Delete(0);
    form->Model->SetRowCount(form->Stations.Count());
    app.prompts.SetNextFileName(name);
    form->Savelist1->trigger();
    EXPECT_EQ(TempAppFolder::Read(name), CodePage::ToAnsi(StartLines.mid(1).join("\r\n") + "\r\n"));
    for (const auto &shown : app.prompts.shown)
        EXPECT_NE(shown.kind, "question");
    EXPECT_EQ(Lines(), StartLines.mid(1)) << "saving leaves the list as it is";
}

TEST_F(ListCommands, SaveThenLoadGivesTheSameLines) {
    const QString name = app.App() + "Data/round trip.txt";
    const QStringList lines = {"Zeta\t\t\t\t\thttp://zeta.example/\t", "", "no tabs here",
                               "Café Olé\tdésc"};
    form->Model->SetRowCount(0);
    form->Stations.Assign(lines);
    form->Model->SetRowCount(form->Stations.Count());
    app.prompts.SetNextFileName(name);
    form->Savelist1->trigger();
    form->Stations.Assign({"something else"});
    form->Model->SetRowCount(1);
    app.prompts.SetNextFileName(name);
    form->Loadlist1->trigger();
    EXPECT_TRUE(Errors().isEmpty());
    QStringList expected;
    for (const QString &l : lines)
        expected.append(CodePage::AnsiRoundTrip(l));
    EXPECT_EQ(Lines(), expected);
    EXPECT_EQ(form->Model->RowCount(), 4);
}

TEST_F(ListCommands, SaveListToAPlaceThatCannotBeWrittenReportsIt) {
    const QString name = app.App() + "no such folder/list.txt";
    app.prompts.SetNextFileName(name);
    form->Savelist1->trigger();
    const auto errors = Errors();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].text.startsWith("Cannot create file \"" + name + "\". "))
        << errors[0].text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(name));
    EXPECT_EQ(Lines(), StartLines);
}
