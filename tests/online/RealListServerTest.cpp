// The real main window and add-station dialog against quorane-listserver on
// 127.0.0.1, found through the key ListServer of Quorane.ini as a user sets
// it: Download, Add with sharing, Update, and the settings file's privacy.
#include "listserver/RealListServer.h"
#include "online/ListServerAddress.h"
#include "online/ui/TForm3.h"
#include "shell/MainWindowFixture.h"
#include "shell/Program.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <sys/stat.h>

namespace {

const std::string ServerList =
    "Club Radio\tOur own\tRock\tDE\tGerman\thttp://club.example/live\t\r\n"
    "Jazz Night\t\tJazz\tFR\tFrench\thttp://jazz.example/j.mp3\t\r\n"
    "Talk\t\tNews\tUK\tEnglish\thttp://talk.example/pl.m3u\t\r\n";

int ModeOf(const QString &path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

struct AgainstListServer : MainWindowFixture {
    void SetUp() override {
        qunsetenv("QUORANE_LIST_SERVER");
        ListServerAddress::SetForTesting(QString(), 80);
        TempAppFolder::Write(app.SettingsFile(), "[Main]\r\nListServer=" + Base() + "\r\n");
        MainWindowFixture::SetUp();
        dialog = std::make_unique<TForm3>();
        dialog->Stations = &form->Stations;
        dialog->Model = form->Model;
        form->Form3 = dialog.get();
    }
    void TearDown() override {
        form->Form3 = nullptr;
        dialog.reset();
        MainWindowFixture::TearDown();
        ListServerAddress::SetForTesting(QString(), 80);
    }
    virtual QByteArray Base() const {
        return "http://127.0.0.1:" + QByteArray::number(server.port());
    }
    QStringList ErrorTexts() const {
        QStringList out;
        for (const auto &e : Errors())
            out.append(e.text);
        return out;
    }
    void Download() {
        app.prompts.SetNextAnswer(true);
        form->Downloadlistfromserver1->trigger();
    }
    // The text of the one box Update shows (a question is answered No).
    QString Update(const std::string &version) {
        server.Write("ver.txt", version);
        app.prompts.shown.clear();
        app.prompts.SetNextAnswer(false);
        form->Update1->trigger();
        if (app.prompts.shown.size() != 1)
            return "boxes: " + QString::number(app.prompts.shown.size());
        if (app.prompts.shown[0].kind != "question")
            app.prompts.AskYesNo(nullptr, {}, {}); // takes back the No nobody asked for
        return app.prompts.shown.first().text;
    }

    RealListServer server;
    std::unique_ptr<TForm3> dialog;
};

} // namespace

TEST_F(AgainstListServer, DownloadReplacesTheListWithTheServersFileByteForByte) {
    server.Write("stations.txt", ServerList);
    Download();
    EXPECT_TRUE(ErrorTexts().isEmpty()) << ErrorTexts().join("|").toStdString();
    EXPECT_EQ(TempAppFolder::Read(app.StationFile()).toStdString(), ServerList);
    ASSERT_EQ(Lines().size(), 3);
    EXPECT_EQ(form->Model->Text(1, 1), "Jazz Night");
    EXPECT_NE(server.Log().find("\"GET /quorane/stations.txt HTTP/1.1\" 200"), std::string::npos);

    // A web page in its place, with status 200, changes nothing.
    server.Write("stations.txt", "<html><body><h1>It works!</h1></body></html>\n");
    Download();
    EXPECT_EQ(ErrorTexts().size(), 1);
    EXPECT_TRUE(ErrorTexts().value(0).contains("not a station list"));
    EXPECT_EQ(TempAppFolder::Read(app.StationFile()).toStdString(), ServerList);
    EXPECT_EQ(Lines().size(), 3);
}

TEST_F(AgainstListServer, AddWithSharingLandsInPendingAsTyped) {
    dialog->sEdit1->setText(QString::fromUtf8("Rock & Roll = 100% \u263a"));
    dialog->sEdit2->setText("http://rr.example:8000/live?a=1&b=2+3");
    dialog->sEdit3->setText(QString::fromUtf8("Caf\u00e9 + Bar"));
    dialog->sEdit4->setText("DE");
    dialog->sEdit5->setText("Deutsch");
    dialog->sEdit6->setText("");
    ASSERT_TRUE(dialog->sCheckBox1->isChecked());
    dialog->sButton1Click();
    EXPECT_TRUE(ErrorTexts().isEmpty()) << ErrorTexts().join("|").toStdString();
    EXPECT_EQ(server.Read("pending.txt"),
              "Rock & Roll = 100% \xE2\x98\xBA\t\tCaf\xC3\xA9 + Bar\tDE\tDeutsch\t"
              "http://rr.example:8000/live?a=1&b=2+3\t\t\r\n");
    EXPECT_EQ(Lines()[0].left(12), "Rock & Roll ");
    EXPECT_FALSE(std::filesystem::exists(server.Path("stations.txt")));
}

TEST_F(AgainstListServer, UpdateJudgesTheServersVersion) {
    const QString same = "You already have latest version 1.02";
    const QString newer = "There are newer version. Update now?";
    EXPECT_EQ(Update("1.02"), same);
    EXPECT_EQ(Update("1.02\r\n"), same);
    EXPECT_EQ(Update("\xEF\xBB\xBF"
                     "1.02\n"),
              same);
    EXPECT_EQ(Update("1.01"), same);
    EXPECT_EQ(Update("1.03"), newer);
    EXPECT_EQ(Update("\xEF\xBB\xBF"
                     "2.0"),
              newer);
    EXPECT_EQ(Update("<html>Server error</html>"),
              "The list server did not send a version number.");
    app.prompts.SetNextAnswer(true);
    server.Write("ver.txt", "1.10");
    form->Update1->trigger();
    EXPECT_EQ(app.prompts.openedUrls, QStringList{QString::fromLatin1(Base()) + "/quorane/"});
}

TEST(SettingsFile, IsTheOwnersAloneAfterTheFirstRunAndKeepsItsModeWhenReplaced) {
    TempAppFolder app;
    auto run = [] {
        Program program;
        ASSERT_FALSE(program.Aborted());
        program.Shutdown();
    };
    run();
    ASSERT_TRUE(QFile::exists(app.SettingsFile()));
    EXPECT_EQ(ModeOf(app.SettingsFile()), 0600);

    // A file the user made readable to the group stays so; the key the user
    // put in is read, never written back changed.
    TempAppFolder::Write(app.SettingsFile(), "[Main]\r\nListServer=http://lists.example:8080\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(app.SettingsFile()).constData(), 0640), 0);
    run();
    EXPECT_EQ(ModeOf(app.SettingsFile()), 0640);
    EXPECT_TRUE(TempAppFolder::Read(app.SettingsFile())
                    .contains("ListServer=http://lists.example:8080\r\n"));
    EXPECT_EQ(ListServerAddress::Url("/"), "http://lists.example:8080/");
    ListServerAddress::SetForTesting(QString(), 80);
}

struct WithABadListServer : AgainstListServer {
    QByteArray Base() const override { return "ftp://lists.example/"; }
};

TEST_F(WithABadListServer, SaysSoOnceAndUsesTheDefault) {
    ASSERT_EQ(ErrorTexts().size(), 1);
    EXPECT_EQ(ErrorTexts()[0],
              "The list server \"ftp://lists.example/\" named by ListServer in the settings file "
              "is not an http address such as http://lists.example.org:8080. Quorane uses "
              "http://quorane.org/ instead.");
    EXPECT_EQ(ListServerAddress::Url("/quorane/"), "http://quorane.org/quorane/");
    for (const char *bad : {"lists.example", "http://", "http://a.example/quorane/",
                            "http://a.example:99999", "http://[::1]:8080"})
        EXPECT_FALSE(ListServerAddress::Configure(bad).isEmpty()) << bad;
    EXPECT_TRUE(ListServerAddress::Configure("http://lists.example:8080/").isEmpty());
    EXPECT_EQ(ListServerAddress::Url("/x"), "http://lists.example:8080/x");
    EXPECT_TRUE(ListServerAddress::Configure("").isEmpty());
    EXPECT_EQ(ListServerAddress::Host(), "quorane.org");
}
