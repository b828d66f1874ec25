// The skin engine: how a skin name resolves in a real skin folder, what
// counts as a skin file, the "Available skins" submenu, and a skin really
// drawn on the main window and kept from one run to the next.
#include "BuildPaths.h"
#include "MainWindowFixture.h"

#include "shell/BuiltInSkins.h"
#include "shell/SkinFile.h"
#include "shell/SkinManager.h"
#include "shell/SkinMenu.h"

#include <QAction>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray FrostSheet = "/* palette: window=#102030 text=#fefefe */\n"
                              "QWidget { background-color: #102030; color: #fefefe; }\n";
const QByteArray GlacierSheet = "QLabel { color: #00ff00; }";

QString ShippedSkin(const QString &file) {
    return QString::fromLocal8Bit(quorane::test::BuildPath("QUORANE_SOURCE_DIR")) + "/data/Skins/" +
           file;
}

// A skin folder of its own for each test.
class Skins : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        dir = tmp.path() + "/Skins/";
        QDir().mkpath(dir + "Glacier");
        QDir().mkpath(dir + "Empty folder");
        TempAppFolder::Write(dir + "Frost.asz", FrostSheet);
        TempAppFolder::Write(dir + "Glacier/Options.dat", GlacierSheet);
        manager.SetSkinDirectory(dir);
    }
    QTemporaryDir tmp;
    QString dir;
    SkinManager manager;
};

} // namespace

TEST_F(Skins, ANameResolvesToTheAszFileThenTheFolderThenABuiltInSkin) {
    manager.SetSkinName("Frost");
    EXPECT_EQ(manager.SkinName(), "Frost");
    EXPECT_EQ(manager.Current().StyleSheet, QString::fromUtf8(FrostSheet));

    manager.SetSkinName("Glacier");
    EXPECT_EQ(manager.SkinName(), "Glacier");
    EXPECT_EQ(manager.Current().StyleSheet, QString::fromUtf8(GlacierSheet));

    // The file comes before a folder of the same name.
    QDir().mkpath(dir + "Frost");
    TempAppFolder::Write(dir + "Frost/Options.dat", GlacierSheet);
    manager.SetSkinName("Frost");
    EXPECT_EQ(manager.Current().StyleSheet, QString::fromUtf8(FrostSheet));

    manager.SetSkinName("Winter2003 (internal)");
    EXPECT_EQ(manager.SkinName(), "Winter2003 (internal)");
    EXPECT_EQ(manager.Current().StyleSheet, BuiltInSkins::All().first().StyleSheet);

    // The settings file's default and any unknown name give the first
    // built-in skin, under its own name.
    for (const char *name : {"Winter 2003 (internal)", "No such skin", "", "Empty folder"}) {
        manager.SetSkinName("Frost");
        manager.SetSkinName(name);
        EXPECT_EQ(manager.SkinName(), SkinManager::BuiltInSkin()) << name;
        EXPECT_EQ(manager.Current().StyleSheet, BuiltInSkins::All().first().StyleSheet) << name;
    }
}

TEST_F(Skins, ANameInAnotherCaseFindsTheFileAndCarriesItsSpellingOnDisk) {
    manager.SetSkinName("FROST");
    EXPECT_EQ(manager.SkinName(), "Frost");
    EXPECT_EQ(manager.Current().StyleSheet, QString::fromUtf8(FrostSheet));
    manager.SetSkinName("glacier");
    EXPECT_EQ(manager.SkinName(), "Glacier");
    // A built-in skin is matched exactly; another case is the first one.
    manager.SetSkinName("winter2003 (INTERNAL)");
    EXPECT_EQ(manager.SkinName(), SkinManager::BuiltInSkin());
}

TEST_F(Skins, ABrokenSkinFileIsPassedOverAndNeverOffered) {
    const QByteArray broken[] = {
        QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), // a picture
        "QWidget { color: red; ",                        // never closed
        "} QWidget { color: red; }",                     // closed before opened
        "{ color: red; }",                               // no selector
        "just some words",                               // no rule
        "QWidget { color: red; } trailing",              // text after the last rule
        "/* QWidget { color: red; }",                    // a comment never ends
        "QWidget { color: \xff\xfe; }",                  // not UTF-8
        "",
    };
    for (const QByteArray &bytes : broken) {
        TempAppFolder::Write(dir + "Broken.asz", bytes);
        manager.SetSkinName("Frost");
        manager.SetSkinName("Broken");
        EXPECT_EQ(manager.SkinName(), SkinManager::BuiltInSkin()) << bytes.constData();
        EXPECT_FALSE(manager.AvailableSkins().contains("Broken")) << bytes.constData();
    }
    // A broken file gives way to a good folder of the same name.
    QDir().mkpath(dir + "Broken");
    TempAppFolder::Write(dir + "Broken/Options.dat", GlacierSheet);
    manager.SetSkinName("Broken");
    EXPECT_EQ(manager.SkinName(), "Broken");
    EXPECT_EQ(manager.Current().StyleSheet, QString::fromUtf8(GlacierSheet));

    // Something that is no regular file, and a file far too large.
    ASSERT_EQ(mkfifo(QFile::encodeName(dir + "Pipe.asz").constData(), 0600), 0);
    manager.SetSkinName("Pipe");
    EXPECT_EQ(manager.SkinName(), SkinManager::BuiltInSkin());
    QByteArray huge = "QWidget { color: red; }\n";
    huge += QByteArray(SkinFile::MaxBytes, ' ');
    TempAppFolder::Write(dir + "Huge.asz", huge);
    manager.SetSkinName("Huge");
    EXPECT_EQ(manager.SkinName(), SkinManager::BuiltInSkin());
    // A name is never a path out of the skin folder.
    TempAppFolder::Write(tmp.path() + "/Outside.asz", FrostSheet);
    manager.SetSkinName("../Outside");
    EXPECT_EQ(manager.SkinName(), SkinManager::BuiltInSkin());
}

TEST_F(Skins, TheSkinsOnOfferAreTheBuiltInOneThenTheUsableOnesByName) {
    TempAppFolder::Write(dir + "Broken.asz", "not a style sheet");
    TempAppFolder::Write(dir + "notes.txt", FrostSheet);
    TempAppFolder::Write(dir + "aurora.ASZ", GlacierSheet);
    EXPECT_EQ(manager.AvailableSkins(),
              QStringList({"Winter2003 (internal)", "aurora", "Frost", "Glacier"}));
    SkinManager noFolder;
    EXPECT_EQ(noFolder.AvailableSkins(), QStringList({"Winter2003 (internal)"}));
}

TEST(SkinFiles, TheBuiltInAndShippedSkinsAreStyleSheetsWithTheirOwnPalette) {
    ASSERT_FALSE(BuiltInSkins::All().isEmpty());
    const SkinFile &winter = BuiltInSkins::All().first();
    EXPECT_EQ(winter.Name, "Winter2003 (internal)");
    EXPECT_EQ(winter.Palette.color(QPalette::Base), QColor("#ffffff"));
    EXPECT_EQ(winter.Palette.color(QPalette::Highlight), QColor("#3d7fc4"));
    struct Shipped {
        const char *file;
        QColor window, text;
    };
    for (const Shipped &s : {Shipped{"Midnight.asz", QColor("#1d2228"), QColor("#e3e8ee")},
                             Shipped{"High Contrast.asz", QColor("#000000"), QColor("#ffffff")}}) {
        const auto skin = SkinFile::Read("x", ShippedSkin(s.file));
        ASSERT_TRUE(skin.has_value()) << s.file;
        EXPECT_EQ(skin->Palette.color(QPalette::Window), s.window) << s.file;
        EXPECT_EQ(skin->Palette.color(QPalette::WindowText), s.text) << s.file;
        EXPECT_EQ(skin->Palette.color(QPalette::Text), s.text) << s.file;
        // Every control of the three windows has a rule of its own.
        for (const char *selector :
             {"QTableView", "QHeaderView::section", "QPushButton", "QLineEdit",
              "QGroupBox > QLabel", "QSlider::handle", "QStatusBar", "QMenu", "QMenuBar", "TForm2",
              "TForm3", "QCheckBox::indicator", "QScrollBar"})
            EXPECT_TRUE(skin->StyleSheet.contains(selector) && winter.StyleSheet.contains(selector))
                << s.file << " " << selector;
    }
}

TEST(SkinFiles, APaletteLineSetsOnlyTheRolesItNames) {
    const QPalette base(Qt::red);
    const QPalette p =
        SkinFile::PaletteOf("/* My skin\n * palette: Window=#010203, text = #0a0b0c\n"
                            " */ QWidget {}",
                            base);
    EXPECT_EQ(p.color(QPalette::Active, QPalette::Window), QColor(1, 2, 3));
    EXPECT_EQ(p.color(QPalette::Inactive, QPalette::Text), QColor(10, 11, 12));
    EXPECT_EQ(p.color(QPalette::Button), base.color(QPalette::Button));
    // A palette line outside the first comment is text of the sheet, not ours.
    const QPalette q = SkinFile::PaletteOf("QWidget {} /* palette: window=#010203 */", base);
    EXPECT_EQ(q.color(QPalette::Window), base.color(QPalette::Window));
}

// ---- the skin on the main window ----------------------------------------

namespace {

class SkinnedWindow : public MainWindowFixture {
protected:
    void SetUp() override {
        QDir().mkpath(app.App() + "Skins");
        QFile::copy(ShippedSkin("Midnight.asz"), app.App() + "Skins/Midnight.asz");
        MainWindowFixture::SetUp();
    }
    // The submenu's item for `name` as it is filled now (a refill replaces
    // the items: take them again after one).
    QAction *Offered(const QString &name) {
        for (QAction *a : form->Availableskins1->actions())
            if (a->text() == name)
                return a;
        return nullptr;
    }
    // The colour in the middle of the station list's empty lower part.
    QColor ListBackground() {
        const QImage shot = form->sListView1->viewport()->grab().toImage();
        return shot.pixelColor(shot.width() / 2, shot.height() - 5);
    }
};

} // namespace

TEST_F(SkinnedWindow, TheSubmenuTicksTheCurrentSkinAndAChoiceIsDrawnAtOnce) {
    ShowActive();
    // The first item of the File menu, with the skins found.
    EXPECT_EQ(form->File1->actions().first(), form->Availableskins1->menuAction());
    EXPECT_EQ(form->Availableskins1->title(), "Available skins");
    form->Availableskins1->Refill();
    QAction *winter = Offered("Winter2003 (internal)");
    QAction *midnight = Offered("Midnight");
    ASSERT_TRUE(winter && midnight);
    EXPECT_EQ(form->Availableskins1->actions().size(), 2);
    EXPECT_TRUE(winter->isChecked());
    EXPECT_FALSE(midnight->isChecked());
    EXPECT_EQ(ListBackground(), QColor("#ffffff"));

    midnight->trigger();
    EXPECT_EQ(form->sSkinManager1->SkinName(), "Midnight");
    EXPECT_TRUE(Offered("Midnight")->isChecked());
    EXPECT_FALSE(Offered("Winter2003 (internal)")->isChecked());
    EXPECT_EQ(ListBackground(), QColor("#252b33"));
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor("#1d2228"));

    // Snow puts the built-in skin back and is its menu's default item.
    form->Snow1->trigger();
    EXPECT_EQ(form->sSkinManager1->SkinName(), "Winter2003 (internal)");
    EXPECT_EQ(form->Skins1->defaultAction(), form->Snow1);
    // The tick follows without the menu being opened again.
    EXPECT_TRUE(Offered("Winter2003 (internal)")->isChecked());
    EXPECT_EQ(ListBackground(), QColor("#ffffff"));
    // Skinning off: the platform's own look, whatever the skin.
    form->sSkinManager1->SetActive(false);
    EXPECT_FALSE(qApp->styleSheet().contains("QTableView"));
    EXPECT_NE(ListBackground(), QColor("#252b33"));
    form->sSkinManager1->SetActive(true);
}

TEST_F(SkinnedWindow, TheSkinChosenIsStoredAtExitAndDrawnAtTheNextStart) {
    ShowActive();
    form->Availableskins1->Refill();
    Offered("Midnight")->trigger();
    form->hide();
    form->FormDestroy();
    form.reset();
    EXPECT_TRUE(TempAppFolder::Read(app.SettingsFile()).contains("\nSkinName=Midnight\n"));

    // What the last window left drawn is not what the next start shows.
    qApp->setStyleSheet("QWidget { background: #ff0000; }");
    form = std::make_unique<TForm1>();
    ShowActive();
    EXPECT_EQ(form->sSkinManager1->SkinName(), "Midnight");
    EXPECT_EQ(ListBackground(), QColor("#252b33"));
    const QImage panel = form->sPanel1->grab().toImage();
    // The now-playing panel's gradient runs to the skin's dark blue.
    const QColor low = panel.pixelColor(panel.width() / 2, panel.height() - 3);
    const QColor want("#1f2d3d");
    EXPECT_LE(std::abs(low.red() - want.red()) + std::abs(low.green() - want.green()) +
                  std::abs(low.blue() - want.blue()),
              24)
        << low.name().toStdString();
    form->hide();
    form->FormDestroy();
    form.reset();
    // Gone from the folder: the next start falls back and the exit stores that.
    QFile::remove(app.App() + "Skins/Midnight.asz");
    form = std::make_unique<TForm1>();
    EXPECT_EQ(form->sSkinManager1->SkinName(), SkinManager::BuiltInSkin());
    form->FormDestroy();
    EXPECT_TRUE(
        TempAppFolder::Read(app.SettingsFile()).contains("\nSkinName=Winter2003 (internal)\n"));
}
