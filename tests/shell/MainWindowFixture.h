#pragma once
// A real main window in a throw-away application folder, with its station
// file written beforehand and scripted prompts, shown and made the active
// window so key events take the path a user's keys take.
#include "common/TempAppFolder.h"
#include "shell/StationListView.h"
#include "shell/TForm1.h"
#include "stations/StationListModel.h"
#include "window/Dispatch.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QTest>
#include <memory>

class MainWindowFixture : public ::testing::Test {
protected:
    // The lines of the station file the window starts with.
    virtual QByteArray StationFile() const {
        return "Alpha Radio\tJazz all day\tJazz\tUSA\tEnglish\thttp://alpha.example/live\t"
               "http://alpha.example\r\n"
               "Beta FM\tNews and talk\tNews\tUK\tEnglish\thttp://beta.example/stream\t"
               "http://beta-home.example\r\n"
               "Gamma\tclassical\tClassical\tAustria\tGerman\thttp://gamma.example/a.mp3\t\r\n"
               "Delta Rock\tRock hits\tRock\tUSA\tEnglish\thttp://delta.example/rock\t\r\n";
    }

    void SetUp() override {
        QApplication::setQuitOnLastWindowClosed(false);
        TempAppFolder::Write(app.StationFile(), StationFile());
        // Each window is a new run of the program: its title is the
        // program's own, not the stream title an earlier test left.
        SetApplicationTitle(QString());
        form = std::make_unique<TForm1>();
    }
    void TearDown() override { form.reset(); }

    // Shows the window and makes it the active window, as the window manager
    // does when the program starts.
    void ShowActive() {
        form->show();
        form->activateWindow();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    // A key pressed and released as the platform delivers it: the window's
    // shortcuts are matched first, then the focused control gets the key.
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(form->windowHandle(), key, modifiers);
    }
    void Select(std::initializer_list<int> rows) {
        form->sListView1->clearSelection();
        for (int r : rows)
            form->sListView1->selectionModel()->select(
                form->Model->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QStringList Lines() const { return form->Stations.Lines().ToStringList(); }
    QList<ScriptedPrompts::Shown> Errors() const { return app.prompts.ErrorBoxes(); }

    TempAppFolder app;
    std::unique_ptr<TForm1> form;
};
