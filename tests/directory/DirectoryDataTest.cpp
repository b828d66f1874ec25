// The directory's data as Quorane reads and writes it: a station from JSON
// whatever its fields hold, the station line made of it, the search's
// address, the drop-downs' lists, and the settings key.
#include "QtPrinters.h"
#include "directory/DirectoryChoice.h"
#include "directory/DirectoryQuery.h"
#include "directory/DirectoryServerSetting.h"
#include "directory/DirectoryStation.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

DirectoryStation Parse(const char *json) {
    return DirectoryStation::FromJson(QJsonDocument::fromJson(json).object());
}

} // namespace

TEST(DirectoryStation, EveryFieldIsReadWhateverItHolds) {
    struct Case {
        const char *json;
        QString name, tags, country, playUrl;
        int bitrate, votes, clicks;
        bool ok;
    };
    const Case cases[] = {
        {R"({"name":"Jazz FM","url":"http://a/","url_resolved":"http://b/","tags":"jazz,smooth",
             "country":"Germany","bitrate":128,"votes":42,"clickcount":7,"lastcheckok":1})",
         "Jazz FM", "jazz,smooth", "Germany", "http://b/", 128, 42, 7, true},
        // Missing and null fields are empty; the entered address plays.
        {R"({"name":"Bare","url":"http://a/"})", "Bare", "", "", "http://a/", 0, 0, 0, false},
        {R"({"name":null,"url":"http://a/","url_resolved":null,"tags":null,"bitrate":null,
             "votes":null,"lastcheckok":null})",
         "", "", "", "http://a/", 0, 0, 0, false},
        {R"({"url_resolved":""," url":"x","url":"http://a/"})", "", "", "", "http://a/", 0, 0, 0,
         false},
        // Other types: numbers as text, text as numbers, arrays and objects empty.
        {R"({"name":1984,"tags":42,"country":["Germany"],"bitrate":"128","votes":" 12 ",
             "clickcount":true,"lastcheckok":"1","url":{"a":1}})",
         "1984", "42", "", "", 128, 12, 1, true},
        {R"({"bitrate":1e30,"votes":-5.9,"clickcount":"lots"})", "", "", "", "", 2147483647, -5, 0,
         false},
        // UTF-8 stays; control characters would break the table and the line.
        {R"({"name":"Радио\tСевер\r\n","tags":"ジャズ,\u0000café"})", "Радио Север", "ジャズ, café",
         "", "", 0, 0, 0, false},
    };
    for (const Case &c : cases) {
        const DirectoryStation s = Parse(c.json);
        EXPECT_EQ(s.name, c.name) << c.json;
        EXPECT_EQ(s.tags, c.tags) << c.json;
        EXPECT_EQ(s.country, c.country) << c.json;
        EXPECT_EQ(s.PlayUrl(), c.playUrl) << c.json;
        EXPECT_EQ(s.bitrate, c.bitrate) << c.json;
        EXPECT_EQ(s.votes, c.votes) << c.json;
        EXPECT_EQ(s.clickCount, c.clicks) << c.json;
        EXPECT_EQ(s.lastCheckOk, c.ok) << c.json;
    }
    // Not an object at all: an empty station, no failure.
    EXPECT_TRUE(DirectoryStation::FromJson(QJsonValue(3)).name.isEmpty());
    EXPECT_TRUE(DirectoryStation::FromJson(QJsonArray{1, 2}).PlayUrl().isEmpty());
}

TEST(DirectoryStation, TheStationLineHasTheListsSevenFields) {
    const DirectoryStation s = Parse(
        R"({"name":"Café\tMüller","tags":" jazz , ,blues,","country":"Austria",
            "language":"german,english","url":"http://entered/","url_resolved":"http://res/",
            "homepage":"https://cafe.example/"})");
    EXPECT_EQ(s.StationLine(), "Café Müller\tjazz, blues\tjazz\tAustria\tgerman,english\t"
                               "http://res/\thttps://cafe.example/\t");
    EXPECT_EQ(s.FirstTag(), "jazz");
    // Without tags and a resolved address: empty description and genre, the
    // entered address.
    EXPECT_EQ(Parse(R"({"name":"N","url":"http://u/"})").StationLine(), "N\t\t\t\t\thttp://u/\t\t");
}

TEST(DirectoryQuery, TheSearchAddressCarriesEveryFilterAsTyped) {
    DirectoryQuery q;
    q.name = "  Rock+Roll & Jazz #1 ";
    q.tag = "drum & bass";
    q.country = "Côte d'Ivoire";
    q.language = "german";
    q.codec = "AAC+";
    q.bitrateMin = 128;
    q.order = DirectoryQuery::Order::Trending;
    q.hideBroken = false;
    q.offset = 200;
    const QString path = q.Path();
    ASSERT_TRUE(path.startsWith("/json/stations/search?"));
    const QUrlQuery sent(path.mid(path.indexOf('?') + 1));
    const std::pair<const char *, QString> expected[] = {{"name", "Rock+Roll & Jazz #1"},
                                                         {"tag", "drum & bass"},
                                                         {"country", "Côte d'Ivoire"},
                                                         {"countryExact", "true"},
                                                         {"language", "german"},
                                                         {"languageExact", "true"},
                                                         {"codec", "AAC+"},
                                                         {"bitrateMin", "128"},
                                                         {"order", "clicktrend"},
                                                         {"reverse", "true"},
                                                         {"hidebroken", "false"},
                                                         {"offset", "200"},
                                                         {"limit", "100"}};
    for (const auto &[key, value] : expected)
        EXPECT_EQ(sent.queryItemValue(key, QUrl::FullyDecoded), value) << key;
    // Every "+" is encoded: a server reads a bare one as a space.
    EXPECT_FALSE(path.contains('+'));
    EXPECT_FALSE(path.contains(' '));

    // Empty filters are left out; each order by its name and direction.
    const std::pair<DirectoryQuery::Order, const char *> orders[] = {
        {DirectoryQuery::Order::Votes, "order=votes&reverse=true"},
        {DirectoryQuery::Order::Clicks, "order=clickcount&reverse=true"},
        {DirectoryQuery::Order::Name, "order=name&reverse=false"},
        {DirectoryQuery::Order::Bitrate, "order=bitrate&reverse=true"}};
    for (const auto &[order, text] : orders) {
        DirectoryQuery plain;
        plain.order = order;
        EXPECT_EQ(plain.Path(),
                  QString("/json/stations/search?%1&hidebroken=true&offset=0&limit=100").arg(text));
    }
}

TEST(DirectoryChoice, ListsKeepNamedEntriesOnceWithTheirCounts) {
    const QJsonArray list = QJsonDocument::fromJson(R"([
        {"name":"Germany","iso_3166_1":"DE","stationcount":4321},
        {"name":"","stationcount":12}, {"stationcount":3}, "Austria", null,
        {"name":"germany","stationcount":"9"},
        {"name":"Österreich","stationcount":null},
        {"name":"Big","stationcount":2147483647}, {"name":"BIG","stationcount":5}])")
                                .array();
    const QList<DirectoryChoice> choices = DirectoryChoice::FromJson(list);
    ASSERT_EQ(choices.size(), 3);
    EXPECT_EQ(choices[0].Caption(), "Germany (4,330)");
    EXPECT_EQ(choices[1].Caption(), "Österreich (0)");
    EXPECT_EQ(choices[2].stationCount, 2147483647);
}

TEST(DirectoryServerSetting, ABaseAddressWithItsSchemeOrNothing) {
    const struct {
        const char *value;
        QString base;
        bool problem;
    } cases[] = {
        {"", "", false},
        {"   ", "", false},
        {"https://de1.api.radio-browser.info", "https://de1.api.radio-browser.info", false},
        {" http://127.0.0.1:8080/ ", "http://127.0.0.1:8080", false},
        {"https://mirror.example/radio/", "https://mirror.example/radio", false},
        {"de1.api.radio-browser.info", "", true},
        {"ftp://mirror.example", "", true},
        {"https://user:pw@mirror.example", "", true},
        {"http://mirror.example/?x=1", "", true},
        {"http://", "", true},
    };
    for (const auto &c : cases) {
        QString problem;
        EXPECT_EQ(DirectoryServerSetting::Parse(c.value, &problem), c.base) << c.value;
        EXPECT_EQ(!problem.isEmpty(), c.problem) << c.value;
        if (c.problem) {
            EXPECT_TRUE(problem.contains(
                QString("\"%1\" named by DirectoryServer").arg(QString(c.value).trimmed())))
                << problem.toStdString();
        }
    }
}
