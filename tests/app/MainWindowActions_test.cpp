// Which of the eleven commands the main window offers, checked after mouse
// and key input on a real collection and real list files, with the playback
// timer running and with it stopped ("Titel nicht abspielen").
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/MainWindow.h"
#include "settings/IniFile.h"
#include "support/LocalSource.h"
#include "support/RecordingAudioBackend.h"
#include "support/Servers.h"
#include "support/TempDir.h"
#include "support/WindowInput.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

// The album "\Rock\Live\" of four songs, the empty album "\Pop\", and the
// lists "Leer" (empty) and "Party" (the first three songs).
class ActionsTest : public ::testing::Test, protected WindowTestHome {
protected:
    ActionsTest() {
        ChooseLocalSource(settings, music);
        WriteFile(music + "tunrax.dat", "Rock\r\n\tLive\r\nPop\r\n");
        for (const char* song : {"01-Intro.mp3", "02-Song.mp3", "03-Ende.mp3", "04-Zugabe.mp3"})
            WriteFile(music + "Rock/Live/" + song, song);
        MakeDirs(music + "Pop");
        WriteFile(lists + "Leer.favoriten", "");
        WriteFile(lists + "Party.favoriten",
                  "\\Rock\\Live\\01-Intro.mp3\r\n\\Rock\\Live\\02-Song.mp3\r\n"
                  "\\Rock\\Live\\03-Ende.mp3\r\n");
    }

    // Shows the window; with noPlay, "Titel nicht abspielen" is clicked, which
    // stops the playback timer.
    void Start(bool noPlay) {
        ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
        if (noPlay) {
            ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acNoPlay));
            ASSERT_TRUE(Ui(form).acNoPlay->isChecked());
            ASSERT_FALSE(Ui(form).mmStart->isActive()) << "the playback timer still runs";
        }
    }
    void TearDown() override { EXPECT_EQ(boxes.Texts, std::vector<std::string>{}); }
    std::vector<std::string> Shown() const { return ShownSongPaths(form); }

    // The commands as the columns of an expected state: a column's letter
    // when the command is enabled, "." when not.
    std::string Enabled() const {
        const QAction* const actions[] = {
            Ui(form).acNeuListe,    Ui(form).acDelListe, Ui(form).acAdd,
            Ui(form).acDel,         Ui(form).acNoPlay,   Ui(form).acLiedFrueher,
            Ui(form).acLiedSpaeter, Ui(form).acKopieren, Ui(form).acAddAll,
            Ui(form).acDelAll,      Ui(form).acFind};
        std::string shown;
        for (size_t i = 0; i < std::size(actions); ++i)
            shown += actions[i]->isEnabled() ? kColumns[i] : '.';
        return shown;
    }

    // N Neue Liste, L Liste Löschen, A zu Favoritenliste hinzufügen, D von
    // Favoritenliste entfernen, P Titel nicht abspielen, F Lied früher, S Lied
    // später, K Lieder kopieren, + Alle Lieder zur Favoritenliste hinzufügen,
    // - Alle Lieder von der Favoritenliste entfernen, ? Lied im Album finden.
    static constexpr char kColumns[] = "NLADPFSK+-?";

    TMainWindow form{settings, std::make_unique<TRecordingAudioBackend>()};
};

class EnablingTest : public ActionsTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(Start(GetParam())); }
};

std::string TimerName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "TimerStopped" : "TimerRunning";
}

}  // namespace

TEST_P(EnablingTest, CommandsFollowWhatIsShownAndSelected) {
    struct Step {
        const char* input;
        std::function<void()> act;
        const char* expected;
    };
    auto album = [&](const char* path) { return [&, path] { ClickAlbum(form, path); }; };
    auto song = [&](int row) { return [&, row] { ClickSong(form, row); }; };
    auto list = [&](const char* name) {
        return [&, name] {
            ChooseList(form, QString::fromUtf8(name));
            EXPECT_EQ(Ui(form).cbFavoriten->currentText(), QString::fromUtf8(name));
        };
    };
    auto page = [&](int index) { return [&, index] { ClickPage(form, index); }; };
    auto key = [&](Qt::Key pressed) { return [&, pressed] { PressKey(form, pressed); }; };
    const Step steps[] = {
        // Page "Alle", no list: only a new list, and copying what is listed.
        {"nothing listed", [] {}, "N...P......"},
        {"an album of four songs", album("\\Rock\\Live\\"), "N...P..K..."},
        {"its first song", song(0), "N...P..K..."},
        // A list chosen: its songs may go, the others may come.
        {"the list Party (first song in it)", list("Party"), "NL.DP..K+-."},
        {"the second song (in it)", song(1), "NL.DP..K+-."},
        {"the last song (not in it)", song(3), "NLA.P..K+-."},
        {"Up to the third song (in it)", key(Qt::Key_Up), "NL.DP..K+-."},
        {"an album without songs", album("\\Pop\\"), "NL..P......"},
        {"the album again, nothing selected", album("\\Rock\\Live\\"), "NL..P..K+-."},
        // Tab makes a song current without choosing it: still none chosen.
        {"Tab into the songs", key(Qt::Key_Tab), "NL..P..K+-."},
        // The list's page: its order may change, its songs may be found.
        {"the page of the list", page(1), "....P..K.-."},
        {"its first song", song(0), "...DP.SK.-?"},
        {"its middle song", song(1), "...DPFSK.-?"},
        {"its last song", song(2), "...DPF.K.-?"},
        {"Up to the middle song", key(Qt::Key_Up), "...DPFSK.-?"},
        {"the empty list Leer", list("Leer"), "....P......"},
        // An empty list on page "Alle": nothing to take away.
        {"page Alle", page(0), "NL..P..K+.."},
        {"the first song", song(0), "NLA.P..K+.."},
        {"no list", list("(keine)"), "N...P..K..."},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.input);
        ASSERT_NO_FATAL_FAILURE(step.act());
        EXPECT_EQ(Enabled(), step.expected) << "columns " << kColumns;
    }
    EXPECT_EQ(Ui(form).acNoPlay->isChecked(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(NoPlay, EnablingTest, ::testing::Bool(), TimerName);

// Songs from a web server cannot be copied: the copy command stays off.
TEST_F(ActionsTest, NoCopyingFromAWebServer) {
    const std::string www = tmp / "www/";
    WriteFile(www + "mp3/tunrax.dat", "Album\r\n");
    WriteFile(www + "mp3/Album/01-Eins.mp3", "1");
    PhpServer server(www, "mp3/");
    settings.WriteInteger("Einstellungen", "Typ", 1);
    settings.WriteString("Einstellungen", "Server Adresse", server.Address());
    settings.WriteString("Einstellungen", "Root Server", "/mp3/");
    ASSERT_NO_FATAL_FAILURE(Start(true));
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Album\\"));
    ASSERT_EQ(Ui(form).lvLieder->topLevelItemCount(), 1);
    ASSERT_NO_FATAL_FAILURE(ChooseList(form, QStringLiteral("Party")));
    EXPECT_EQ(Enabled(), "NL..P...+-.") << "columns " << kColumns;
}

// The commands act on the song just clicked, from their keys, the song list's
// context menu and the tool bar, also while the playback timer is stopped.
TEST_F(ActionsTest, KeysMenuAndToolBarActOnTheClickedSong) {
    ASSERT_NO_FATAL_FAILURE(Start(true));
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Rock\\Live\\"));
    ASSERT_NO_FATAL_FAILURE(ChooseList(form, QStringLiteral("Party")));
    ASSERT_EQ(DrawnHighlights(form), (std::vector<bool>{true, true, true, false}));

    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 3));
    ASSERT_NO_FATAL_FAILURE(PressKey(form, Qt::Key_Insert));
    EXPECT_EQ(DrawnHighlights(form), (std::vector<bool>{true, true, true, true}))
        << "Insert did not add";
    EXPECT_TRUE(Ui(form).lvLieder->selectedItems().isEmpty()) << "no next song after the last";

    ASSERT_NO_FATAL_FAILURE(OpenSongMenu(form, 3));
    ASSERT_NO_FATAL_FAILURE(ClickMenuEntry(Ui(form).PopupMenu1, Ui(form).acDel));
    EXPECT_EQ(DrawnHighlights(form), (std::vector<bool>{true, true, true, false})) << "not removed";

    // On the list's page: one song later, then taken out with Delete.
    ASSERT_NO_FATAL_FAILURE(ClickPage(form, 1));
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acLiedSpaeter));
    const std::string intro = "\\Rock\\Live\\01-Intro.mp3", song = "\\Rock\\Live\\02-Song.mp3",
                      ende = "\\Rock\\Live\\03-Ende.mp3";
    EXPECT_EQ(Shown(), (std::vector<std::string>{song, intro, ende})) << "not moved";
    ASSERT_NO_FATAL_FAILURE(PressKey(form, Qt::Key_Delete));
    EXPECT_EQ(Shown(), (std::vector<std::string>{song, ende})) << "Delete did not remove";

    ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Beenden1));
    EXPECT_EQ(ReadFile(lists + "Party.favoriten"), song + "\r\n" + ende + "\r\n");
}

// Insert adds the chosen song, Delete removes it. With "Titel nicht
// abspielen" checked the next song is chosen, to go through an album song by
// song; while songs play the choice stays, so that nothing else starts.
TEST_P(EnablingTest, InsertAndDeleteChooseTheNextSongOnlyWhileNothingIsToPlay) {
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Rock\\Live\\"));
    ASSERT_NO_FATAL_FAILURE(ChooseList(form, QStringLiteral("Leer")));
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 1));
    ASSERT_EQ(Enabled(), "NLA.P..K+..") << "columns " << kColumns;
    ASSERT_NO_FATAL_FAILURE(PressKey(form, Qt::Key_Insert));
    const QList<QTreeWidgetItem*> selected = Ui(form).lvLieder->selectedItems();
    ASSERT_EQ(selected.size(), 1);
    const bool noPlay = GetParam();
    EXPECT_EQ(Ui(form).lvLieder->indexOfTopLevelItem(selected.first()), noPlay ? 2 : 1);
    // The song chosen now is the next, not in the list, or the one just added.
    EXPECT_EQ(Enabled(), noPlay ? "NLA.P..K+-." : "NL.DP..K+-.") << "columns " << kColumns;

    // Delete the same way: the choice moves on only while nothing is to play.
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 1));
    ASSERT_NO_FATAL_FAILURE(PressKey(form, Qt::Key_Delete));
    const QList<QTreeWidgetItem*> after = Ui(form).lvLieder->selectedItems();
    ASSERT_EQ(after.size(), 1);
    EXPECT_EQ(Ui(form).lvLieder->indexOfTopLevelItem(after.first()), noPlay ? 2 : 1);
    EXPECT_EQ(Ui(form).lvLieder->topLevelItemCount(), 4) << "the album keeps its songs";
    ASSERT_NO_FATAL_FAILURE(PressKey(form, Qt::Key_Insert));
    ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Beenden1));
    EXPECT_EQ(ReadFile(lists + "Leer.favoriten"),
              std::string("\\Rock\\Live\\0") + (noPlay ? "3-Ende" : "2-Song") + ".mp3\r\n");
}

// "Alle Lieder von der Favoritenliste entfernen" on "Alle" takes the songs
// listed out of the list and keeps its others; on the list's page it
// empties the list.
TEST_F(ActionsTest, RemovingAllSongsOnAlleKeepsTheListsOtherSongs) {
    WriteFile(lists + "Gemischt.favoriten",
              "\\Rock\\Live\\01-Intro.mp3\r\n\\Pop\\Fremd.mp3\r\n\\Rock\\Live\\04-Zugabe.mp3\r\n");
    ASSERT_NO_FATAL_FAILURE(Start(true));
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Rock\\Live\\"));
    ASSERT_NO_FATAL_FAILURE(ChooseList(form, QStringLiteral("Gemischt")));
    ASSERT_NO_FATAL_FAILURE(OpenSongMenu(form, 1));
    ASSERT_NO_FATAL_FAILURE(ClickMenuEntry(Ui(form).PopupMenu1, Ui(form).acDelAll));
    EXPECT_EQ(DrawnHighlights(form), (std::vector<bool>{false, false, false, false}));
    ASSERT_NO_FATAL_FAILURE(ClickPage(form, 1));
    EXPECT_EQ(Shown(), std::vector<std::string>{"\\Pop\\Fremd.mp3"});

    ASSERT_NO_FATAL_FAILURE(OpenSongMenu(form, 0));
    ASSERT_NO_FATAL_FAILURE(ClickMenuEntry(Ui(form).PopupMenu1, Ui(form).acDelAll));
    EXPECT_EQ(Shown(), std::vector<std::string>{});
    ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Beenden1));
    EXPECT_EQ(ReadFile(lists + "Gemischt.favoriten"), "");
}
