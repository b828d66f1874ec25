// The platform pieces: code page, path resolution, application paths and
// the error box text.
#include "platform/AppPaths.h"
#include "platform/CodePage.h"
#include "platform/ErrorText.h"
#include "platform/PathResolver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(CodePageTest, SubstitutesAndRoundTripsInAnEightBitPage) {
    ASSERT_TRUE(CodePage::SetForTesting("windows-1252"));
    EXPECT_EQ(CodePage::ToAnsi(QString::fromUtf8("\u00e9\u20ac\u0416")), QByteArray("\xE9\x80?"));
    EXPECT_EQ(CodePage::FromAnsi("\xE9\x80"), QString::fromUtf8("\u00e9\u20ac"));
    EXPECT_EQ(CodePage::AnsiRoundTrip(QString::fromUtf8("A\u0416\uFFFDB")), "A??B");
    EXPECT_FALSE(CodePage::SetForTesting("no-such-page"));
    EXPECT_EQ(CodePage::Name(), "windows-1252");
    CodePage::SetForTesting(QByteArray());
}

TEST(CodePageTest, UnderUtf8OnlyBrokenTextIsReplaced) {
    ASSERT_TRUE(CodePage::SetForTesting("UTF-8"));
    const QString text = QString::fromUtf8("\u0416 \U0001F3B5");
    EXPECT_EQ(CodePage::AnsiRoundTrip(text), text);
    // A lone surrogate cannot be stored: it becomes "?", not a crash or "".
    const QString lone = QString("a") + QChar(0xD800) + "b";
    EXPECT_EQ(CodePage::ToAnsi(lone), "a?b");
    // Malformed UTF-8 decodes to U+FFFD.
    EXPECT_EQ(CodePage::FromUtf8("a\xFF"
                                 "b"),
              QString::fromUtf8("a\uFFFDb"));
    CodePage::SetForTesting(QByteArray());
    EXPECT_FALSE(CodePage::Name().isEmpty());
}

TEST(PathResolverTest, FindsFoldersWithoutRegardToCase) {
    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath("Data");
    QDir(tmp.path()).mkpath("Plugins");
    QFile f(tmp.path() + "/Data/stations.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(ResolvePath(tmp.path() + "/data/stations.txt"), tmp.path() + "/Data/stations.txt");
    EXPECT_EQ(ResolvePath(tmp.path() + "/DATA/STATIONS.TXT"), tmp.path() + "/Data/stations.txt");
    EXPECT_EQ(ResolvePath(tmp.path() + "\\plugins\\libx.so"), tmp.path() + "/Plugins/libx.so");
    // A file about to be created keeps its name; its folder is resolved.
    EXPECT_EQ(ResolvePath(tmp.path() + "/data/new.txt"), tmp.path() + "/Data/new.txt");
    // Nothing matches: the path stays as given.
    EXPECT_EQ(ResolvePath(tmp.path() + "/Skins/"), tmp.path() + "/Skins/");
    // An exact match wins over another spelling.
    QDir(tmp.path()).mkpath("data");
    EXPECT_EQ(ResolvePath(tmp.path() + "/data/x"), tmp.path() + "/data/x");
}

TEST(AppPathsTest, FilesAreFoundFromTheExecutablePath) {
    // A folder the user may write keeps the settings beside the program.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    AppPaths::SetExecutableForTesting(folder.path() + "/Quorane");
    EXPECT_EQ(AppPaths::ExecutableDir(), folder.path() + "/");
    EXPECT_EQ(AppPaths::SettingsFile(), folder.path() + "/Quorane.ini");
    AppPaths::SetExecutableForTesting(folder.path() + "/radio.player.bin");
    EXPECT_EQ(AppPaths::SettingsFile(), folder.path() + "/radio.player.ini");
    // One it cannot write (an installed copy) keeps them in the configuration folder.
    AppPaths::SetExecutableForTesting("/opt/q/Quorane");
    EXPECT_EQ(AppPaths::ExecutableDir(), "/opt/q/");
    qputenv("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(AppPaths::SettingsFile(), "/cfg/quorane/Quorane.ini");
    EXPECT_EQ(AppPaths::GeometryFile(), "/cfg/Quorane.INI");
    qputenv("XDG_CONFIG_HOME", "relative/ignored");
    EXPECT_EQ(AppPaths::GeometryFile(), QDir::homePath() + "/.config/Quorane.INI");
    qunsetenv("XDG_CONFIG_HOME");
    AppPaths::SetExecutableForTesting(QString());
    // The real executable is this test program, wherever it was started from.
    EXPECT_TRUE(QFile::exists(AppPaths::ExecutablePath()));
    EXPECT_TRUE(AppPaths::ExecutableDir().endsWith('/'));
}

TEST(AppPathsTest, ApplicationTitleAndErrorText) {
    EXPECT_EQ(AppPaths::ApplicationTitleFor("/x/QUORANE.EXE"), "Quorane");
    EXPECT_EQ(AppPaths::ApplicationTitleFor("/x/Quorane"), "Quorane");
    EXPECT_EQ(AppPaths::ApplicationTitleFor("/x/my.radio.bin"), "my");
    EXPECT_EQ(AppPaths::ApplicationTitleFor("/x/RADIO"), "Radio");
    // ")" and the blank come before "." in the code table: no full stop is added.
    EXPECT_EQ(ErrorBoxText("List index out of bounds (-1)"), "List index out of bounds (-1)");
    EXPECT_EQ(ErrorBoxText("Unable to write to x"), "Unable to write to x.");
    EXPECT_EQ(ErrorBoxText("Done."), "Done.");
    EXPECT_EQ(ErrorBoxText("Stop!"), "Stop!");
    EXPECT_EQ(ErrorBoxText("Cannot open file \"x\". No such file or directory"),
              "Cannot open file \"x\". No such file or directory.");
    EXPECT_EQ(ErrorBoxText("ends in a blank "), "ends in a blank ");
    EXPECT_EQ(ErrorBoxText("slash/"), "slash/.");
}
