// Favourite lists in the main window: the chooser, the two pages, the
// highlighting and the list commands, on real list files.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <cstring>
#include <memory>

#include "app/CatalogueModel.h"
#include "app/MainWindow.h"
#include "gst/GstAudioBackend.h"
#include "settings/IniFile.h"
#include "support/LocalSource.h"
#include "support/RecordingAudioBackend.h"
#include "support/TempDir.h"
#include "support/WindowInput.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

class FavoritesTest : public ::testing::Test, protected WindowTestHome {
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

    void TearDown() override { EXPECT_EQ(boxes.Texts, std::vector<std::string>{}); }

    static void SelectAlbum(TMainWindow& form) {
        ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Rock\\Live\\"));
        ASSERT_EQ(Ui(form).lvLieder->topLevelItemCount(), 3);
    }
    // Types the name into the input box of "Neue Liste".
    static void NewList(TMainWindow& form, const char* typed) {
        InputBoxAnswer answer(QString::fromUtf8(typed));
        ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acNeuListe));
        ASSERT_EQ(answer.Count(), 1) << "not one input box";
        EXPECT_EQ(answer.Title, QStringLiteral("Neue Liste"));
    }
    static std::vector<std::string> Shown(const TMainWindow& form) { return ShownSongPaths(form); }
    static std::vector<std::string> Chooser(const TMainWindow& form) {
        std::vector<std::string> names;
        for (int i = 0; i < Ui(form).cbFavoriten->count(); ++i)
            names.push_back(Ui(form).cbFavoriten->itemText(i).toStdString());
        return names;
    }
};

}  // namespace

TEST_F(FavoritesTest, ChooserPagesAndHighlighting) {
    settings.WriteInteger("Favoriten", "Aktuell", 7);  // past the end: the last list
    TMainWindow form(settings, CreateGStreamerBackend("fakesink sync=true"));
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    EXPECT_EQ(Chooser(form), (std::vector<std::string>{"(keine)", "Party.2012", "Rock"}));
    EXPECT_EQ(Ui(form).cbFavoriten->currentText(), QStringLiteral("Rock"));
    EXPECT_TRUE(Ui(form).pcSeiten->isTabVisible(1));
    EXPECT_EQ(Ui(form).pcSeiten->tabText(1), QStringLiteral("Rock"));

    ASSERT_NO_FATAL_FAILURE(SelectAlbum(form));
    EXPECT_EQ(DrawnHighlights(form), (std::vector<bool>{true, false, true}))
        << "without regard to case";

    // The page "Favoriten" shows the list's songs, with "\" for "/".
    ASSERT_NO_FATAL_FAILURE(ClickPage(form, 1));
    EXPECT_EQ(Shown(form), (std::vector<std::string>{"\\rock\\live\\01-INTRO.MP3",
                                                     "\\Rock\\Live\\03-Ende.mp3"}));
    EXPECT_EQ(DrawnHighlights(form), (std::vector<bool>{false, false})) << "only on the page Alle";
    ASSERT_NO_FATAL_FAILURE(ClickPage(form, 0));
    EXPECT_EQ(Ui(form).lvLieder->topLevelItemCount(), 3) << "back to the album's songs";

    // "(keine)": no list, the tab hidden, nothing written for an unchanged list.
    const std::string before = ReadFile(lists + "Rock.favoriten");
    ASSERT_NO_FATAL_FAILURE(ChooseList(form, QStringLiteral("(keine)")));
    EXPECT_TRUE(form.FavoriteName().empty());
    EXPECT_EQ(DrawnHighlights(form), (std::vector<bool>{false, false, false}));
    EXPECT_FALSE(Ui(form).pcSeiten->isTabVisible(1));
    EXPECT_EQ(ReadFile(lists + "Rock.favoriten"), before);
}

TEST_F(FavoritesTest, ListCommands) {
    auto owned = std::make_unique<TRecordingAudioBackend>();
    const TRecordingAudioBackend& library = *owned;
    TMainWindow form(settings, std::move(owned));
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    ASSERT_NO_FATAL_FAILURE(SelectAlbum(form));
    EXPECT_TRUE(Ui(form).acNeuListe->isEnabled());
    EXPECT_FALSE(Ui(form).acAdd->isEnabled()) << "no list is current";
    EXPECT_FALSE(Ui(form).acDelListe->isEnabled());

    // "Neue Liste": the name made valid, duplicates refused, blanks ignored.
    ASSERT_NO_FATAL_FAILURE(NewList(form, " Rock/Pop "));
    EXPECT_EQ(form.FavoriteName(), "Rock_Pop");
    EXPECT_EQ(Ui(form).cbFavoriten->currentText(), QStringLiteral("Rock_Pop"));
    EXPECT_EQ(Ui(form).pcSeiten->tabText(1), QStringLiteral("Rock_Pop"));
    EXPECT_FALSE(Exists(lists + "Rock_Pop.favoriten")) << "no file for an empty new list";
    const std::vector<std::string> names = {"(keine)", "Party.2012", "Rock", "Rock_Pop"};
    EXPECT_EQ(Chooser(form), names);
    for (const char* taken : {"rock_pop", "(keine)", "PARTY.2012"}) {
        SCOPED_TRACE(taken);
        ASSERT_NO_FATAL_FAILURE(NewList(form, taken));
        EXPECT_EQ(boxes.Texts, std::vector<std::string>{"Der Name ist schon vorhanden"});
        boxes.Texts.clear();
    }
    ASSERT_NO_FATAL_FAILURE(NewList(form, "   "));
    EXPECT_EQ(form.FavoriteName(), "Rock_Pop");
    EXPECT_EQ(Ui(form).cbFavoriten->currentText(), QStringLiteral("Rock_Pop"));
    EXPECT_EQ(Chooser(form), names);

    // Adding the selected song, with "Titel nicht abspielen" moving on.
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acNoPlay));
    EXPECT_FALSE(Ui(form).mmStart->isActive());
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 2));
    ASSERT_TRUE(Ui(form).acAdd->isEnabled());
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acAdd));
    EXPECT_EQ(Ui(form).lvLieder->currentItem(), nullptr)
        << "after the last song nothing is selected";
    EXPECT_TRUE(Ui(form).lvLieder->selectedItems().isEmpty());
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acAdd));
    EXPECT_EQ(DrawnHighlights(form), (std::vector<bool>{true, false, true}));

    // Another list stores the changed one, CR LF after every line.
    ASSERT_NO_FATAL_FAILURE(ChooseList(form, QStringLiteral("Party.2012")));
    EXPECT_EQ(ReadFile(lists + "Rock_Pop.favoriten"),
              "\\Rock\\Live\\03-Ende.mp3\r\n\\Rock\\Live\\01-Intro.mp3\r\n");

    // "Lied früher" on the page of the list, then "Lied im Album finden".
    ASSERT_NO_FATAL_FAILURE(ChooseList(form, QStringLiteral("Rock_Pop")));
    ASSERT_NO_FATAL_FAILURE(ClickPage(form, 1));
    ASSERT_EQ(Ui(form).lvLieder->topLevelItemCount(), 2);
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 1));
    EXPECT_FALSE(Ui(form).acNeuListe->isEnabled());
    ASSERT_TRUE(Ui(form).acLiedFrueher->isEnabled());
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acLiedFrueher));
    const std::vector<std::string> moved = {"\\Rock\\Live\\01-Intro.mp3",
                                            "\\Rock\\Live\\03-Ende.mp3"};
    EXPECT_EQ(Shown(form), moved);
    EXPECT_EQ(form.Favorites().Entries(), moved);
    // With the timer running again the song clicked may start; the song
    // found may not.
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acNoPlay));
    ASSERT_TRUE(Ui(form).mmStart->isActive());
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 1));
    ASSERT_NO_FATAL_FAILURE(OpenSongMenu(form, 1));
    ASSERT_NO_FATAL_FAILURE(ClickMenuEntry(Ui(form).PopupMenu1, Ui(form).acFind));
    auto started = [&] { return library.SongsOpened(); };
    const auto startedBefore = started();
    EXPECT_EQ(Ui(form).pcSeiten->currentIndex(), 0);
    EXPECT_EQ(form.SelectedNode(), 1) << "the album Rock\\Live";
    EXPECT_EQ(Ui(form).tvAlben->currentIndex().data().toString(), QStringLiteral("Live"));
    EXPECT_EQ(SongPathOf(form, Ui(form).lvLieder->currentItem()), "\\Rock\\Live\\03-Ende.mp3");
    EXPECT_EQ(form.Sequencer().TickCount(), 3) << "the found song is not started";
    LetPlaybackTicksPass(5);
    EXPECT_EQ(started(), startedBefore) << "the found song was started";

    // A list that cannot be stored stays current with its changes. The move
    // above is written back by itself first; then the found song is removed
    // and another list chosen at once.
    const std::string file = lists + "Rock_Pop.favoriten";
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return ReadFile(file) == "\\Rock\\Live\\01-Intro.mp3\r\n\\Rock\\Live\\03-Ende.mp3\r\n";
        },
        5000))
        << "the moved order was not written back";
    ::unlink(file.c_str());
    MakeDirs(file);  // a folder where the file should go
    ASSERT_TRUE(Ui(form).acDel->isEnabled());
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acDel));
    ASSERT_NO_FATAL_FAILURE(ChooseList(form, QStringLiteral("(keine)")));
    EXPECT_EQ(boxes.Texts.size(), 1u) << "no word that the list was not stored";
    boxes.Texts.clear();
    EXPECT_EQ(form.FavoriteName(), "Rock_Pop");
    EXPECT_EQ(form.Favorites().Size(), 1u);
    EXPECT_EQ(Ui(form).cbFavoriten->currentText(), QStringLiteral("Rock_Pop"));
    EXPECT_EQ(Ui(form).pcSeiten->tabText(1), QStringLiteral("Rock_Pop"));
    // Once the way is free again, the end of the program stores it.
    ::rmdir(file.c_str());
    ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Beenden1));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(ReadFile(file), "\\Rock\\Live\\01-Intro.mp3\r\n");
    EXPECT_EQ(settings.ReadInteger("Favoriten", "Aktuell", -7),
              Ui(form).cbFavoriten->currentIndex());
}

TEST_F(FavoritesTest, FindShowsTheSongInItsAlbumWithoutStartingIt) {
    settings.WriteInteger("Favoriten", "Aktuell", 2);  // the list "Rock"
    auto owned = std::make_unique<TRecordingAudioBackend>();
    TRecordingAudioBackend& library = *owned;
    TMainWindow form(settings, std::move(owned));
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    ASSERT_EQ(Ui(form).cbFavoriten->currentText(), QStringLiteral("Rock"));
    auto started = [&] { return library.SongsOpened(); };

    // The album tree shows another album, or already the song's album.
    for (const char* album : {"\\Pop\\", "\\Rock\\Live\\"}) {
        SCOPED_TRACE(album);
        ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, album));
        ASSERT_NO_FATAL_FAILURE(ClickPage(form, 1));
        ASSERT_EQ(Ui(form).lvLieder->topLevelItemCount(), 2);
        ASSERT_NO_FATAL_FAILURE(ClickSong(form, 1));
        ASSERT_NO_FATAL_FAILURE(OpenSongMenu(form, 1));
        ASSERT_TRUE(Ui(form).acFind->isEnabled());
        ASSERT_NO_FATAL_FAILURE(ClickMenuEntry(Ui(form).PopupMenu1, Ui(form).acFind));
        const auto before = started();

        EXPECT_EQ(Ui(form).pcSeiten->currentIndex(), 0) << "not on page Alle";
        EXPECT_EQ(Ui(form).tvAlben->currentIndex().data().toString(), QStringLiteral("Live"));
        EXPECT_EQ(ShownSongPaths(form), (std::vector<std::string>{"\\Rock\\Live\\01-Intro.mp3",
                                                                  "\\Rock\\Live\\02-Song.mp3",
                                                                  "\\Rock\\Live\\03-Ende.mp3"}))
            << "not the album's songs";
        const QList<QTreeWidgetItem*> selected = Ui(form).lvLieder->selectedItems();
        ASSERT_EQ(selected.size(), 1);
        EXPECT_EQ(SongPathOf(form, selected.first()), "\\Rock\\Live\\03-Ende.mp3");
        LetPlaybackTicksPass(5);
        EXPECT_EQ(started(), before) << "the song found was started";
    }
}

TEST_F(FavoritesTest, ArrangingAListChecksTitelNichtAbspielenAndThenNothingStarts) {
    settings.WriteInteger("Favoriten", "Aktuell", 2);  // the list "Rock"
    auto owned = std::make_unique<TRecordingAudioBackend>();
    TRecordingAudioBackend& library = *owned;
    TMainWindow form(settings, std::move(owned));
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    auto started = [&] { return library.SongsOpened(); };
    ASSERT_NO_FATAL_FAILURE(ClickPage(form, 1));
    ASSERT_EQ(Ui(form).lvLieder->topLevelItemCount(), 2);
    ASSERT_FALSE(Ui(form).acNoPlay->isChecked());
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 1));
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acLiedFrueher));
    EXPECT_TRUE(Ui(form).acNoPlay->isChecked()) << "\"Lied früher\" leaves the mark unset";
    const auto before = started();
    LetPlaybackTicksPass(4);
    EXPECT_EQ(started(), before) << "the song moved started";
    // What the mark says holds: a song clicked now does not start, nor after
    // "Lied im Album finden".
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 1));
    LetPlaybackTicksPass(4);
    EXPECT_EQ(started(), before) << "a song started although the mark is set";
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acLiedSpaeter));
    ASSERT_NO_FATAL_FAILURE(OpenSongMenu(form, 0));
    ASSERT_NO_FATAL_FAILURE(ClickMenuEntry(Ui(form).PopupMenu1, Ui(form).acFind));
    ASSERT_EQ(Ui(form).pcSeiten->currentIndex(), 0);
    EXPECT_TRUE(Ui(form).acNoPlay->isChecked());
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 1));
    LetPlaybackTicksPass(4);
    EXPECT_EQ(started(), before) << "a song started after the find although the mark is set";

    // The mark cleared: the song clicked plays.
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acNoPlay));
    EXPECT_FALSE(Ui(form).acNoPlay->isChecked());
    EXPECT_TRUE(QTest::qWaitFor([&] { return started() > before; }, 2000))
        << "the song chosen did not start once the mark was cleared";
}

namespace {

// A socket in the file system: it exists, and opening it fails for root too.
void MakeSocket(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    const int bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::close(fd);
    ASSERT_EQ(bound, 0) << std::strerror(errno);
}

void MakeLoop(const std::string& path) {
    ASSERT_EQ(::symlink(path.c_str(), path.c_str()), 0);  // ELOOP, also for root
}

std::string KindOf(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return "none";
    switch (st.st_mode & S_IFMT) {
        case S_IFREG: return "file";
        case S_IFLNK: return "link";
        case S_IFSOCK: return "socket";
        default: return "other";
    }
}

}  // namespace

TEST_F(FavoritesTest, AListWhoseFileCouldNotBeReadIsNeverWrittenBack) {
    const std::string party = lists + "Party.2012.favoriten";
    const std::string broken = lists + "Kaputt.favoriten";
    struct Kind {
        const char* name;
        void (*make)(const std::string&);
        const char* kind;
    };
    for (const Kind& unreadable :
         {Kind{"link to itself", MakeLoop, "link"}, Kind{"socket", MakeSocket, "socket"}}) {
        SCOPED_TRACE(unreadable.name);
        WriteFile(party, "");
        ::unlink(broken.c_str());
        WriteFile(broken, "\\Rock\\Live\\02-Song.mp3\r\n");  // readable at the start
        TMainWindow form(settings, std::make_unique<TRecordingAudioBackend>());
        ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
        ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Rock\\Live\\"));
        ASSERT_EQ(Ui(form).lvLieder->topLevelItemCount(), 3);
        auto insert = [&](int row, bool mustAdd) {
            ASSERT_NO_FATAL_FAILURE(ClickSong(form, row));
            // The window may refuse it for a list it could not read.
            ASSERT_TRUE(Ui(form).acAdd->isEnabled() || !mustAdd) << "cannot add to a readable list";
            ASSERT_NO_FATAL_FAILURE(PressKey(form, Qt::Key_Insert));
        };

        // Another list changed and still to be stored, then the file turns
        // unreadable after the chooser was filled; the user adds a song to
        // what looks like an empty list and leaves it.
        for (const char* leave : {"chooser", "exit"}) {
            SCOPED_TRACE(leave);
            ASSERT_NO_FATAL_FAILURE(ChooseList(form, QStringLiteral("Party.2012")));
            ASSERT_NO_FATAL_FAILURE(insert(*leave == 'c' ? 0 : 1, true));
            ASSERT_EQ(::unlink(broken.c_str()), 0);
            ASSERT_NO_FATAL_FAILURE(unreadable.make(broken));
            boxes.Texts.clear();
            ASSERT_NO_FATAL_FAILURE(ChooseList(form, QStringLiteral("Kaputt")));
            EXPECT_TRUE(std::any_of(boxes.Texts.begin(), boxes.Texts.end(),
                                    [](const std::string& text) {
                                        return text.find("Kaputt.favoriten") != std::string::npos;
                                    }))
                << "no word that the list could not be read";
            ASSERT_NO_FATAL_FAILURE(insert(2, false));
            if (*leave == 'c')
                ASSERT_NO_FATAL_FAILURE(ChooseList(form, QStringLiteral("(keine)")));
            else
                ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Beenden1));
            EXPECT_EQ(KindOf(broken), unreadable.kind) << "the list's file was replaced";
        }
        EXPECT_FALSE(form.isVisible());
        boxes.Texts.clear();
        EXPECT_EQ(ReadFile(party), "\\Rock\\Live\\01-Intro.mp3\r\n\\Rock\\Live\\02-Song.mp3\r\n")
            << "the other list was not stored";
    }
}
