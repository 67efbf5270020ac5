// A changed favourite list reaches its file about a second after the last
// change, while it stays the list chosen: a program that is killed or loses
// its session keeps what the user did.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QElapsedTimer>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "settings/IniFile.h"
#include "support/LocalSource.h"
#include "support/RecordingAudioBackend.h"
#include "support/TempDir.h"
#include "support/WindowInput.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

class FavoritesAutosaveTest : public ::testing::Test, protected WindowTestHome {
protected:
    FavoritesAutosaveTest() {
        ChooseLocalSource(settings, music);
        WriteFile(music + "tunrax.dat", "Rock\r\n\tLive\r\n");
        for (const char* song : {"01-Intro.mp3", "02-Song.mp3", "03-Ende.mp3"})
            WriteFile(music + "Rock/Live/" + song, "x");
        WriteFile(file, "\\Rock\\Live\\02-Song.mp3\r\n");
        settings.WriteInteger("Favoriten", "Aktuell", 1);  // the list "Rock"
    }

    void TearDown() override { EXPECT_EQ(boxes.Texts, std::vector<std::string>{}); }

    // Opens the album and puts its song in this row on the list with the
    // tool bar's "Lied zur Liste hinzufügen".
    void AddSong(TMainWindow& form, int row) {
        ASSERT_NO_FATAL_FAILURE(ClickSong(form, row));
        ASSERT_TRUE(Ui(form).acAdd->isEnabled());
        ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acAdd));
    }
    bool FileBecomes(const std::string& bytes, int milliseconds = 4000) {
        return QTest::qWaitFor([&] { return Exists(file) && ReadFile(file) == bytes; },
                               milliseconds);
    }

    const std::string file = lists + "Rock.favoriten";
};

}  // namespace

TEST_F(FavoritesAutosaveTest, AChangeIsWrittenWhileTheListStaysChosen) {
    TMainWindow form(settings, std::make_unique<TRecordingAudioBackend>());
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    ASSERT_EQ(form.FavoriteName(), "Rock");
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acNoPlay));  // nothing starts
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Rock\\Live\\"));

    QElapsedTimer sinceChange;
    ASSERT_NO_FATAL_FAILURE(AddSong(form, 2));
    sinceChange.start();
    const std::string once = "\\Rock\\Live\\02-Song.mp3\r\n\\Rock\\Live\\03-Ende.mp3\r\n";
    ASSERT_TRUE(FileBecomes(once)) << "not written: " << ReadFile(file);
    EXPECT_GE(sinceChange.elapsed(), 800) << "written at once, not once the changes rest";
    EXPECT_EQ(form.FavoriteName(), "Rock");
    EXPECT_EQ(Ui(form).cbFavoriten->currentText(), QStringLiteral("Rock"));
    EXPECT_EQ(DrawnHighlights(form), (std::vector<bool>{false, true, true}));

    // The list stays editable, and each further change is written too.
    ASSERT_NO_FATAL_FAILURE(AddSong(form, 0));
    ASSERT_TRUE(FileBecomes(once + "\\Rock\\Live\\01-Intro.mp3\r\n")) << ReadFile(file);

    ASSERT_NO_FATAL_FAILURE(ClickPage(form, 1));
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));
    ASSERT_TRUE(Ui(form).acDel->isEnabled());
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acDel));
    EXPECT_TRUE(FileBecomes("\\Rock\\Live\\03-Ende.mp3\r\n\\Rock\\Live\\01-Intro.mp3\r\n"))
        << ReadFile(file);
}

TEST_F(FavoritesAutosaveTest, AFailingWriteSaysSoOnceAndKeepsTheChanges) {
    TMainWindow form(settings, std::make_unique<TRecordingAudioBackend>());
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acNoPlay));
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Rock\\Live\\"));
    ::unlink(file.c_str());
    MakeDirs(file);  // a folder where the list's file should go

    ASSERT_NO_FATAL_FAILURE(AddSong(form, 0));
    ASSERT_TRUE(boxes.WaitFor(1)) << "no word that the list was not stored";
    ASSERT_EQ(boxes.Texts.size(), 1u);
    EXPECT_NE(boxes.Texts[0].find("Rock.favoriten"), std::string::npos) << boxes.Texts[0];
    boxes.Texts.clear();
    // Neither time nor the next change brings the same box again.
    ASSERT_NO_FATAL_FAILURE(AddSong(form, 2));
    QTest::qWait(2500);
    EXPECT_EQ(boxes.Texts, std::vector<std::string>{});
    EXPECT_EQ(form.FavoriteName(), "Rock");
    EXPECT_EQ(form.Favorites().Size(), 3u);

    // Once the way is free, the next change writes all of them.
    ::rmdir(file.c_str());
    ASSERT_NO_FATAL_FAILURE(ClickPage(form, 1));
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acLiedSpaeter));
    EXPECT_TRUE(
        FileBecomes("\\Rock\\Live\\01-Intro.mp3\r\n\\Rock\\Live\\02-Song.mp3\r\n"
                    "\\Rock\\Live\\03-Ende.mp3\r\n"))
        << ReadFile(file);
}
