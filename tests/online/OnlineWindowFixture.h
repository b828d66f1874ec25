#pragma once
// The real main window with the real add-station dialog beside it, wired as
// the program wires them, and the list server of our own on 127.0.0.1 as the
// address of Quorane's list server.
#include "ListServer.h"
#include "online/ListServerAddress.h"
#include "online/ui/TForm3.h"
#include "shell/MainWindowFixture.h"

#include <memory>
#include <string>

class OnlineWindowFixture : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        dialog = std::make_unique<TForm3>();
        dialog->Stations = &form->Stations;
        dialog->Model = form->Model;
        form->Form3 = dialog.get();
        ListServerAddress::SetForTesting(QStringLiteral("127.0.0.1"), server.port());
    }
    void TearDown() override {
        ListServerAddress::SetForTesting(QString(), 80);
        form->Form3 = nullptr;
        dialog.reset();
        MainWindowFixture::TearDown();
    }
    // What the main window showed in the error box, full stop included.
    QStringList ErrorTexts() const {
        QStringList out;
        for (const auto &e : Errors())
            out.append(e.text);
        return out;
    }
    std::string Host() const { return "127.0.0.1:" + std::to_string(server.port()); }

    quorane::test::ListServer server;
    std::unique_ptr<TForm3> dialog;
};
