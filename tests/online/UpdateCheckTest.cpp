// Help > Update in the real main window against the list server of our own:
// which box the user sees for each answer, and the download page opened only
// on Yes.
#include "OnlineWindowFixture.h"
#include "online/VersionCheck.h"
#include "window/Dispatch.h"

using quorane::test::ListAnswer;

namespace {

struct UpdateCheck : OnlineWindowFixture {
    void Serve(const std::string &version) {
        ListAnswer a;
        a.body = version;
        server.answer("/quorane/ver.txt", a);
    }
    QString DownloadPage() const {
        return QStringLiteral("http://127.0.0.1:%1/quorane/").arg(server.port());
    }
};

} // namespace

TEST_F(UpdateCheck, TheSameOrAnOlderVersionSaysSoInThePlainBox) {
    // A version file saved by an editor that writes a UTF-8 mark is the same.
    for (const char *version : {"1.02", "1.02\r\n", " 1.020 ", "1.01", "0.99",
                                "\xEF\xBB\xBF"
                                "1.02\r\n"}) {
        app.prompts.shown.clear();
        Serve(version);
        form->Update1->trigger();
        ASSERT_EQ(app.prompts.shown.size(), 1) << version;
        const auto &box = app.prompts.shown[0];
        EXPECT_EQ(box.kind, "message");
        EXPECT_EQ(box.text, "You already have latest version 1.02");
        EXPECT_EQ(box.icon, Prompts::Icon::None);
        EXPECT_EQ(box.title, ApplicationTitle());
    }
    EXPECT_TRUE(app.prompts.openedUrls.isEmpty());
    // While a station plays, the box carries the stream title as its title.
    SetApplicationTitle("Artist - Song");
    form->Update1->trigger();
    SetApplicationTitle(QString());
    EXPECT_EQ(app.prompts.shown.last().title, "Artist - Song");
    EXPECT_EQ(server.requests().back().bytes.substr(0, 31), "GET /quorane/ver.txt HTTP/1.1\r\n");
}

TEST_F(UpdateCheck, ANewerVersionAsksAndOpensTheDownloadPageOnlyOnYes) {
    Serve("1.03");
    app.prompts.SetNextAnswer(false);
    form->Update1->trigger();
    ASSERT_EQ(app.prompts.shown.size(), 1);
    EXPECT_EQ(app.prompts.shown[0].kind, "question");
    EXPECT_EQ(app.prompts.shown[0].title, "Quorane");
    EXPECT_EQ(app.prompts.shown[0].text, "There are newer version. Update now?");
    EXPECT_TRUE(app.prompts.openedUrls.isEmpty());

    // Marked, and marked in a UTF-8 answer: still newer.
    Serve("\xEF\xBB\xBF"
          "1.03");
    app.prompts.SetNextAnswer(false);
    form->Update1->trigger();
    EXPECT_EQ(app.prompts.shown.last().text, "There are newer version. Update now?");
    ListAnswer utf8;
    utf8.body = "\xEF\xBB\xBF"
                "1.03\n";
    utf8.contentType = "text/plain; charset=utf-8";
    server.answer("/quorane/ver.txt", utf8);
    app.prompts.SetNextAnswer(false);
    form->Update1->trigger();
    EXPECT_EQ(app.prompts.shown.last().text, "There are newer version. Update now?");
    EXPECT_EQ(app.prompts.shown.size(), 3);

    Serve("1.1");
    app.prompts.SetNextAnswer(true);
    form->Update1->trigger();
    EXPECT_EQ(app.prompts.openedUrls, QStringList{DownloadPage()});
    EXPECT_TRUE(ErrorTexts().isEmpty());
}

TEST_F(UpdateCheck, AnAnswerThatIsNoVersionOrNoAnswerAtAllIsAnError) {
    for (const char *body : {"<html><body>Server error</body></html>", "", "v1.03"}) {
        app.prompts.shown.clear();
        Serve(body);
        form->Update1->trigger();
        EXPECT_EQ(ErrorTexts(), QStringList{"The list server did not send a version number."})
            << body;
        EXPECT_EQ(app.prompts.shown.size(), 1);
    }
    // A version file is a few bytes: one past 4 KiB is refused unread.
    app.prompts.shown.clear();
    Serve("1.02" + std::string(4093, ' '));
    form->Update1->trigger();
    EXPECT_EQ(ErrorTexts(), QStringList{"The list server's answer is larger than 4 KiB."});
    app.prompts.shown.clear();
    Serve("1.02" + std::string(4092, ' '));
    form->Update1->trigger();
    EXPECT_EQ(app.prompts.shown.last().text, "You already have latest version 1.02");

    app.prompts.shown.clear();
    ListAnswer missing;
    missing.status = 404;
    server.answer("/quorane/ver.txt", missing);
    form->Update1->trigger();
    EXPECT_EQ(ErrorTexts(), QStringList{"HTTP/1.1 404 Not Found."});

    app.prompts.shown.clear();
    ListServerAddress::SetForTesting(QStringLiteral("nonexistent.invalid"), 80);
    form->Update1->trigger();
    EXPECT_EQ(ErrorTexts(), QStringList{"Socket Error # 1\r\nHost not found."});
    EXPECT_EQ(app.prompts.shown.size(), 1);
    EXPECT_TRUE(app.prompts.openedUrls.isEmpty());
}

TEST(VersionOrder, ReadsTheDigitsAfterTheDotAsAFraction) {
    using VersionCheck::Compare;
    using VersionCheck::Order;
    EXPECT_EQ(Compare("1.02"), Order::Same);
    EXPECT_EQ(Compare("1.020\n"), Order::Same);
    EXPECT_EQ(Compare("1.03"), Order::Newer);
    EXPECT_EQ(Compare("1.1"), Order::Newer);
    EXPECT_EQ(Compare("1.02.1"), Order::Newer);
    EXPECT_EQ(Compare("2"), Order::Newer);
    EXPECT_EQ(Compare("1.015"), Order::Older);
    EXPECT_EQ(Compare("1"), Order::Older);
    for (const char *bad : {"", "1.", ".5", "1..2", "1.02a", "one", "1,03"})
        EXPECT_EQ(Compare(bad), Order::NotAVersion) << bad;
}

TEST(ListServerAddressTest, NamesThePortOnlyWhenItIsNot80) {
    ListServerAddress::SetForTesting(QString(), 80);
    qunsetenv("QUORANE_LIST_SERVER");
    EXPECT_EQ(ListServerAddress::Url("/quorane/"), "http://quorane.org/quorane/");
    ListServerAddress::SetForTesting("127.0.0.1", 8080);
    EXPECT_EQ(ListServerAddress::Url("/quorane/ver.txt"), "http://127.0.0.1:8080/quorane/ver.txt");
    ListServerAddress::SetForTesting("list.example", 80);
    EXPECT_EQ(ListServerAddress::Url("/quorane/"), "http://list.example/quorane/");
    // The environment names another server for a whole run.
    qputenv("QUORANE_LIST_SERVER", "127.0.0.1:9999");
    ListServerAddress::SetForTesting(QString(), 80);
    EXPECT_EQ(ListServerAddress::Url("/quorane/"), "http://127.0.0.1:9999/quorane/");
    EXPECT_EQ(ListServerAddress::Port(), 9999);
    qputenv("QUORANE_LIST_SERVER", "lists.example");
    ListServerAddress::SetForTesting(QString(), 80);
    EXPECT_EQ(ListServerAddress::Url("/x"), "http://lists.example/x");
    qunsetenv("QUORANE_LIST_SERVER");
    ListServerAddress::SetForTesting(QString(), 80);
    EXPECT_EQ(ListServerAddress::Host(), "quorane.org");
}
