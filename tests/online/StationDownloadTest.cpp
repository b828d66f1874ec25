// List > Download list from server in the real main window, against the list
// server of our own: the question, the request, the station file and the
// list replaced only by a whole list, and everything kept on any failure.
#include "OnlineWindowFixture.h"
#include "online/ExpectedRequests.h"

#include <QDir>

using quorane::test::ListAnswer;

namespace {

const QString NotAList = "The list server's answer is not a station list (no line names a "
                         "stream address); your station list is unchanged.";

const QByteArray ServerList =
    "Radio One\tNews\tNews\tUK\tEnglish\thttp://one.example/live\t\r\n"
    "Radio Two\t\tPop\tUK\tEnglish\thttp://two.example/live\t\r\n"
    "Radio Three\tClassics\tClassical\tDE\tGerman\thttp://three.example/\t\r\n";

ListAnswer Body(const QByteArray &body) {
    ListAnswer a;
    a.body = body.toStdString();
    return a;
}

struct StationDownload : OnlineWindowFixture {
    void Download(bool yes = true) {
        app.prompts.SetNextAnswer(yes);
        form->Downloadlistfromserver1->trigger();
    }
};

} // namespace

TEST_F(StationDownload, ReplacesTheFileAndTheListAndShowsEveryStation) {
    server.answer("/quorane/stations.txt", Body(ServerList));
    Download();

    ASSERT_EQ(app.prompts.shown.size(), 1) << ErrorTexts().join("|").toStdString();
    EXPECT_EQ(app.prompts.shown[0].kind, "question");
    EXPECT_EQ(app.prompts.shown[0].title, "Quorane");
    EXPECT_EQ(app.prompts.shown[0].text, "Download latest stations list from server?");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].bytes, ExpectedGet(Host(), "/quorane/stations.txt"));

    EXPECT_EQ(TempAppFolder::Read(app.StationFile()), ServerList);
    ASSERT_EQ(Lines().size(), 3);
    EXPECT_EQ(Lines()[0], "Radio One\tNews\tNews\tUK\tEnglish\thttp://one.example/live\t");
    EXPECT_EQ(form->Model->RowCount(), 3);
    EXPECT_EQ(form->Model->Text(2, 1), "Radio Three");
}

TEST_F(StationDownload, StoresAListWithoutCharsetByteForByteAndAUtf8ListAsText) {
    // Without a charset the bytes are the server's own: kept as they came,
    // then read like any station file (the tests' code page is UTF-8).
    server.answer("/quorane/stations.txt", Body("Caf\xC3\xA9 FM\t\t\t\t\thttp://cafe/\t\r\nB\r\n"));
    Download();
    EXPECT_EQ(TempAppFolder::Read(app.StationFile()),
              "Caf\xC3\xA9 FM\t\t\t\t\thttp://cafe/\t\r\nB\r\n");
    EXPECT_EQ(form->Model->Text(0, 1), QString::fromUtf8("Caf\u00e9 FM"));

    ListAnswer utf8 = Body("\xC3\x9C"
                           "ber Radio\t\t\t\t\thttp://ueber/\r\n");
    utf8.contentType = "text/plain; charset=utf-8";
    server.answer("/quorane/stations.txt", utf8);
    Download();
    EXPECT_EQ(Lines(), QStringList{QString::fromUtf8("\u00dcber Radio\t\t\t\t\thttp://ueber/")});
    EXPECT_EQ(form->Model->RowCount(), 1);
    EXPECT_TRUE(ErrorTexts().isEmpty()) << ErrorTexts().join("|").toStdString();
}

TEST_F(StationDownload, AnsweringNoAsksNothingOfTheServerAndChangesNothing) {
    server.answer("/quorane/stations.txt", Body(ServerList));
    const QByteArray before = TempAppFolder::Read(app.StationFile());
    const QStringList lines = Lines();
    Download(false);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(server.connections(), 0);
    EXPECT_EQ(TempAppFolder::Read(app.StationFile()), before);
    EXPECT_EQ(Lines(), lines);
    EXPECT_EQ(form->Model->RowCount(), 4);
}

TEST_F(StationDownload, AFailedDownloadKeepsTheFileTheListAndTheViewAndSaysWhy) {
    dialog->IdHTTP1.ReadTimeoutMs = 300;
    ListAnswer missing = Body("<html>Not here</html>");
    missing.status = 404;
    ListAnswer failing = Body("oops");
    failing.status = 500;
    ListAnswer empty = Body("");
    ListAnswer cut = Body(ServerList);
    cut.closeAfterBodyBytes = 70;
    ListAnswer garbage;
    garbage.garbage = true;
    ListAnswer silent;
    silent.silent = true;
    // A captive portal's page, and a text without a stream address, with 200.
    ListAnswer portal = Body("<html><body>Please log in to the hotel network</body></html>");
    portal.contentType = "text/html";
    ListAnswer names = Body("Just\tsome\ttext\r\nno\tstations\there\r\n");
    ListAnswer moved;
    moved.status = 302;
    moved.headers = {"Location: http://elsewhere.invalid/list.txt"};
    const std::pair<ListAnswer, QString> cases[] = {
        {missing, "HTTP/1.1 404 Not Found."},
        {failing, "HTTP/1.1 500 Internal Server Error."},
        {empty, "The list server sent an empty station list."},
        {cut, "Connection closed before the whole answer had arrived."},
        {garbage, "The server's answer is not valid HTTP."},
        {silent, "Read timed out."},
        {moved, "HTTP/1.1 302 Found."},
        {portal, NotAList},
        {names, NotAList},
    };
    const QByteArray before = TempAppFolder::Read(app.StationFile());
    const QStringList lines = Lines();
    for (const auto &[answer, message] : cases) {
        app.prompts.shown.clear();
        server.answer("/quorane/stations.txt", answer);
        Download();
        EXPECT_EQ(ErrorTexts(), QStringList{message});
        EXPECT_EQ(TempAppFolder::Read(app.StationFile()), before) << message.toStdString();
        EXPECT_EQ(Lines(), lines) << message.toStdString();
        EXPECT_EQ(form->Model->RowCount(), 4) << message.toStdString();
    }
    // And afterwards a good answer still goes through.
    server.answer("/quorane/stations.txt", Body(ServerList));
    Download();
    EXPECT_EQ(form->Model->RowCount(), 3);
}

TEST_F(StationDownload, AnUnreachableServerKeepsEverything) {
    quorane::test::ListServer *gone = new quorane::test::ListServer;
    const int port = gone->port();
    delete gone;
    ListServerAddress::SetForTesting(QStringLiteral("127.0.0.1"), port);
    const QByteArray before = TempAppFolder::Read(app.StationFile());
    Download();
    EXPECT_EQ(ErrorTexts(), QStringList{"Socket Error # 111\r\nConnection refused."});
    EXPECT_EQ(TempAppFolder::Read(app.StationFile()), before);
    EXPECT_EQ(form->Model->RowCount(), 4);

    app.prompts.shown.clear();
    ListServerAddress::SetForTesting(QStringLiteral("nonexistent.invalid"), 80);
    Download();
    EXPECT_EQ(ErrorTexts(), QStringList{"Socket Error # 1\r\nHost not found."});
    EXPECT_EQ(Lines().size(), 4);
}

TEST_F(StationDownload, WithoutTheDataFolderNothingIsRequested) {
    server.answer("/quorane/stations.txt", Body(ServerList));
    ASSERT_TRUE(QDir(app.App() + "Data").removeRecursively());
    Download();
    const QStringList errors = ErrorTexts();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith("Cannot create file \"" + app.App() + "data/stations.txt\". "))
        << errors[0].toStdString();
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(Lines().size(), 4);
    EXPECT_EQ(form->Model->RowCount(), 4);
}
