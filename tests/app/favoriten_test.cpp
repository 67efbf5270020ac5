// Favourite lists in the main window: the chooser, the two pages, the
// highlighting and the list commands, on real list files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include "app/CatalogueModel.h"
#include "app/haupt.h"
#include "settings/Error.h"
#include "settings/Vel_ini.h"
#include "support/LocalSource.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

class FavoritesTest : public ::testing::Test {
protected:
    FavoritesTest() {
        ChooseLocalSource(settings, music);
        WriteFile(music + "tunrax.dat", "Rock\r\n\tLive\r\nPop\r\n");
        for (const char* song : {"01-Intro.mp3", "02-Song.mp3", "03-Ende.mp3"})
            WriteFile(music + "Rock/Live/" + song, "x");
        WriteFile(lists + "Party.2012.favoriten", "\\Rock\\Live\\02-Song.mp3\r\n");
        WriteFile(lists + "Rock.favoriten",
                  "/rock/live/01-INTRO.MP3\n\\Rock\\cover.jpg\r\\Rock\\Live\\03-Ende.mp3\r\n");
    }

    void Start(TfmMain& form) {
        bool started = false;
        QObject::connect(&form, &TVelForm::AfterCreate, [&] { started = true; });
        form.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return started; }, 5000));
    }
    void SelectAlbum(TfmMain& form) {
        form.tvAlben->setCurrentIndex(form.FAlben->IndexOf(1));  // Rock\Live
        ASSERT_EQ(form.lvLieder->topLevelItemCount(), 3);
    }
    static std::vector<bool> Highlights(const TfmMain& form) {
        std::vector<bool> marks;
        for (int i = 0; i < form.lvLieder->topLevelItemCount(); ++i)
            marks.push_back(form.Highlighted(form.lvLieder->topLevelItem(i)));
        return marks;
    }
    void Choose(TfmMain& form, int index) {
        form.cbFavoriten->setCurrentIndex(index);
        form.cbFavoritenChange();
    }

    TempDir tmp;
    ScopedEnv config{"XDG_CONFIG_HOME", (tmp / "config").c_str()};
    ScopedEnv runtime{"XDG_RUNTIME_DIR", tmp.Path().c_str()};
    const std::string music = tmp / "Musik/";
    const std::string lists = tmp / "config/quintor/tunRax/";
    TVelIniFile settings{tmp / "tunrax.ini"};
};

}  // namespace

TEST_F(FavoritesTest, ChooserPagesAndHighlighting) {
    settings.WriteInteger("Favoriten", "Aktuell", 7);  // past the end: the last list
    TfmMain form(settings, CreateGStreamerLibrary("fakesink sync=true"));
    Start(form);
    ASSERT_EQ(form.cbFavoriten->count(), 3);
    EXPECT_EQ(form.cbFavoriten->itemText(0), QStringLiteral("(keine)"));
    EXPECT_EQ(form.cbFavoriten->itemText(1), QStringLiteral("Party.2012"));
    EXPECT_EQ(form.cbFavoriten->currentText(), QStringLiteral("Rock"));
    EXPECT_TRUE(form.pcSeiten->isTabVisible(1));
    EXPECT_EQ(form.pcSeiten->tabText(1), QStringLiteral("Rock"));

    SelectAlbum(form);
    EXPECT_EQ(Highlights(form), (std::vector<bool>{true, false, true})) << "without regard to case";

    // The page "Favoriten" shows the list's songs, with "\" for "/".
    form.pcSeiten->setCurrentIndex(1);
    std::vector<std::string> shown;
    SongListPaths(form.lvLieder, shown);
    EXPECT_EQ(shown, (std::vector<std::string>{"\\rock\\live\\01-INTRO.MP3",
                                               "\\Rock\\Live\\03-Ende.mp3"}));
    EXPECT_EQ(Highlights(form), (std::vector<bool>{false, false})) << "only on the page Alle";
    form.pcSeiten->setCurrentIndex(0);
    EXPECT_EQ(form.lvLieder->topLevelItemCount(), 3) << "back to the album's songs";

    // "(keine)": no list, the tab hidden, nothing written for an unchanged list.
    const std::string before = ReadFile(lists + "Rock.favoriten");
    Choose(form, 0);
    EXPECT_TRUE(form.FFavoriteName.empty());
    EXPECT_FALSE(form.pcSeiten->isTabVisible(1));
    EXPECT_EQ(ReadFile(lists + "Rock.favoriten"), before);
}

TEST_F(FavoritesTest, ListCommands) {
    TfmMain form(settings, CreateGStreamerLibrary("fakesink sync=true"));
    Start(form);
    SelectAlbum(form);
    form.UpdateActions();
    EXPECT_TRUE(form.acNeuListe->isEnabled());
    EXPECT_FALSE(form.acAdd->isEnabled()) << "no list is current";
    EXPECT_FALSE(form.acDelListe->isEnabled());

    // "Neue Liste": the name made valid, duplicates refused, blanks ignored.
    QString answer;
    form.AskListName = [&](QString& name) {
        name = answer;
        return true;
    };
    answer = QStringLiteral(" Rock/Pop ");
    form.acNeuListeExecute();
    EXPECT_EQ(form.FFavoriteName, "Rock_Pop");
    EXPECT_FALSE(Exists(lists + "Rock_Pop.favoriten")) << "no file for an empty new list";
    for (const char* taken : {"rock_pop", "(keine)", "PARTY.2012"}) {
        answer = QString::fromUtf8(taken);
        EXPECT_THROW(form.acNeuListeExecute(), Error) << taken;
    }
    answer = QStringLiteral("   ");
    form.acNeuListeExecute();
    EXPECT_EQ(form.FFavoriteName, "Rock_Pop");

    // Adding the selected song, with "Titel nicht abspielen" moving on.
    form.acNoPlay->trigger();
    EXPECT_FALSE(form.mmStart->isActive());
    form.lvLieder->setCurrentItem(form.lvLieder->topLevelItem(2));
    form.UpdateActions();
    ASSERT_TRUE(form.acAdd->isEnabled());
    form.acAdd->trigger();
    EXPECT_EQ(form.lvLieder->currentItem(), nullptr) << "after the last song nothing is selected";
    form.lvLieder->setCurrentItem(form.lvLieder->topLevelItem(0));
    form.acAdd->trigger();
    EXPECT_EQ(Highlights(form), (std::vector<bool>{true, false, true}));

    // Another list stores the changed one, CR LF after every line.
    Choose(form, 1);
    EXPECT_EQ(ReadFile(lists + "Rock_Pop.favoriten"),
              "\\Rock\\Live\\03-Ende.mp3\r\n\\Rock\\Live\\01-Intro.mp3\r\n");

    // "Lied früher" on the page of the list, then "Lied im Album finden".
    Choose(form, form.cbFavoriten->findText(QStringLiteral("Rock_Pop")));
    form.pcSeiten->setCurrentIndex(1);
    form.lvLieder->setCurrentItem(form.lvLieder->topLevelItem(1));
    form.UpdateActions();
    EXPECT_FALSE(form.acNeuListe->isEnabled());
    ASSERT_TRUE(form.acLiedFrueher->isEnabled());
    form.acLiedFrueher->trigger();
    EXPECT_EQ(form.FFavorites.Entries(), (std::vector<std::string>{"\\Rock\\Live\\01-Intro.mp3",
                                                                   "\\Rock\\Live\\03-Ende.mp3"}));
    form.acNoPlay->trigger();  // the timer runs again
    form.lvLieder->setCurrentItem(form.lvLieder->topLevelItem(1));
    form.acFind->trigger();
    EXPECT_EQ(form.pcSeiten->currentIndex(), 0);
    EXPECT_EQ(form.SelectedNode(), 1) << "the album Rock\\Live";
    EXPECT_EQ(SongPath(form.lvLieder->currentItem()), "\\Rock\\Live\\03-Ende.mp3");
    EXPECT_EQ(form.FTickCount, 3) << "the found song is not started";

    // A list that cannot be stored stays current with its changes.
    const std::string file = lists + "Rock_Pop.favoriten";
    ::unlink(file.c_str());
    MakeDirs(file);  // a folder where the file should go
    EXPECT_THROW(Choose(form, 0), Error);
    EXPECT_EQ(form.FFavoriteName, "Rock_Pop");
    EXPECT_EQ(form.FFavorites.Size(), 2u);
    EXPECT_EQ(form.cbFavoriten->currentText(), QStringLiteral("Rock_Pop"));
    // Once the way is free again, the end of the program stores it.
    ::rmdir(file.c_str());
    form.Beenden1->trigger();
    EXPECT_EQ(ReadFile(file), "\\Rock\\Live\\01-Intro.mp3\r\n\\Rock\\Live\\03-Ende.mp3\r\n");
    EXPECT_EQ(settings.ReadInteger("Favoriten", "Aktuell", -7), form.cbFavoriten->currentIndex());
}
