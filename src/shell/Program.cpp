#include "shell/Program.h"

#include "directory/ui/TFormFindStations.h"
#include "history/ui/TFormHistory.h"
#include "online/ui/TForm2.h"
#include "online/ui/TForm3.h"
#include "platform/AppPaths.h"
#include "shell/SingleInstance.h"
#include "shell/TForm1.h"
#include "shell/TerminationWatcher.h"
#include "window/Dispatch.h"

#include <QApplication>
#include <QFile>
#include <cstdio>

Program::Program() {
    Form1 = new TForm1;
    if (Form1->StartupAborted)
        return;
    Form2 = new TForm2(Form1->Playback);
    Form3 = new TForm3;
    Form1->Form2 = Form2;
    Form1->Form3 = Form3;
    Form3->Stations = &Form1->Stations;
    Form3->Model = Form1->Model;
    FormHistory = new TFormHistory(*Form1->History);
    Form1->FormHistory = FormHistory;
    FormFind = new TFormFindStations(*Form1, Form1->DirectoryServer);
    Form1->FormFind = FormFind;
}

Program::~Program() {
    // A normal run has destroyed its windows in Shutdown(); an aborted one
    // writes nothing and simply lets them go.
    delete FormFind;
    delete FormHistory;
    delete Form3;
    delete Form2;
    delete Form1;
}

bool Program::Aborted() const {
    return Form1->StartupAborted;
}

int Program::Main() {
    // Before anything is read: a second run on the same files would write
    // them over at its exit. The lock is kept until the last file is written.
    const QString settingsFile = AppPaths::SettingsFile();
    SingleInstance instance(settingsFile);
    if (instance.Claim() == SingleInstance::Claimed::Another) {
        std::fprintf(stderr, "Quorane: already running with %s; this start ends writing nothing\n",
                     QFile::encodeName(settingsFile).constData());
        return 0;
    }
    // Watching starts before the windows, so a request during the start-up
    // skips the loop but still gets the full shutdown.
    TerminationWatcher termination;
    Program program;
    if (program.Aborted())
        return 0;
    // Brought back as from the tray: shown, restored, in front.
    Connect(&instance, &SingleInstance::RaiseRequested, program.Form1, &TForm1::TrayIcon1Click);
    if (!termination.Requested())
        program.Run();
    // A start from now on waits for this run's files instead.
    instance.StopListening();
    program.Shutdown();
    return 0;
}

int Program::Run() {
    Form1->show();
    Form1->activateWindow();
    return QApplication::exec();
}

void Program::Shutdown() {
    if (Aborted())
        return;
    TFormINI *const order[] = {FormFind, FormHistory, Form3, Form2, Form1};
    for (TFormINI *form : order) {
        form->hide();
        Dispatch([&] { form->FormDestroy(); });
        try {
            form->WriteGeometry();
        } catch (const QuoraneError &e) {
            std::fprintf(stderr, "Quorane: %s\n", e.message().toLocal8Bit().constData());
        }
    }
    delete FormFind;
    delete FormHistory;
    delete Form3;
    delete Form2;
    delete Form1;
    FormFind = nullptr;
    FormHistory = nullptr;
    Form3 = nullptr;
    Form2 = nullptr;
    Form1 = nullptr;
}
