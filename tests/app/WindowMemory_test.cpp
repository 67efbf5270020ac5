// The main window comes back as it was left: its size, the splitter, the
// volume and the album, which is listed again but not started.
#include <gtest/gtest.h>

#include <QSplitter>
#include <QTest>

#include "app/MainWindow.h"
#include "support/LocalSource.h"
#include "support/RecordingAudioBackend.h"
#include "support/WindowInput.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

class WindowMemoryTest : public ::testing::Test, protected WindowTestHome {
protected:
    WindowMemoryTest() {
        ChooseLocalSource(settings, music);
        WriteFile(music + "tunrax.dat", "Pop\r\n\tHits\r\nRock\r\n\tLive\r\n");
        for (const char* song : {"01-Intro.mp3", "02-Song.mp3", "03-Ende.mp3"})
            WriteFile(music + "Rock/Live/" + song, "x");
        WriteFile(music + "Pop/Hits/01-Eins.mp3", "x");
    }
    void TearDown() override { EXPECT_EQ(boxes.Texts, std::vector<std::string>{}); }

    // Drags the splitter's handle by dx pixels.
    static void DragSplitter(TMainWindow& form, int dx) {
        QSplitterHandle* handle = Ui(form).spTeiler->handle(1);
        const QPoint from = handle->rect().center();
        QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, from);
        const QPoint to = from + QPoint(dx, 0);
        QMouseEvent move(QEvent::MouseMove, to, handle->mapToGlobal(to), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(handle, &move);
        QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, to);
        Settle();
    }
};

}  // namespace

TEST_F(WindowMemoryTest, TheWindowComesBackAsItWasLeftWithTheAlbumListedButNotStarted) {
    QList<int> sides;
    {
        TMainWindow form(settings, std::make_unique<TRecordingAudioBackend>());
        ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
        EXPECT_EQ(form.width(), 575) << "a settings file without [Fenster]: the first size";
        EXPECT_EQ(Ui(form).spTeiler->sizes().value(0), 289);
        form.resize(720, 480);
        Settle();
        ASSERT_NO_FATAL_FAILURE(DragSplitter(form, -40));
        sides = Ui(form).spTeiler->sizes();
        ASSERT_LT(sides.value(0), 289) << "the splitter did not move";
        ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Rock\\Live\\"));
        for (int step = 0; step < 3; ++step)
            QTest::keyClick(Ui(form).lvLieder, Qt::Key_Down, Qt::ControlModifier);
        EXPECT_EQ(Ui(form).tbLautstaerke->value(), 85);
        ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Beenden1));
    }
    EXPECT_EQ(settings.ReadString("Fenster", "Album", ""), "\\Rock\\Live\\");

    auto owned = std::make_unique<TRecordingAudioBackend>();
    const TRecordingAudioBackend& library = *owned;
    TMainWindow form(settings, std::move(owned));
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    EXPECT_EQ(form.size(), QSize(720, 480));
    EXPECT_EQ(Ui(form).spTeiler->sizes(), sides);
    EXPECT_EQ(Ui(form).tbLautstaerke->value(), 85);
    EXPECT_EQ(Ui(form).tvAlben->currentIndex().data().toString(), QStringLiteral("Live"));
    EXPECT_TRUE(Ui(form).tvAlben->isExpanded(Ui(form).tvAlben->currentIndex().parent()));
    EXPECT_EQ(ShownSongPaths(form).size(), 3u) << "the album's songs are listed";
    // An album chosen while nothing plays starts within six ticks.
    LetPlaybackTicksPass(12);
    EXPECT_EQ(library.SongsOpened(), 0u) << "the album came back playing";
    EXPECT_EQ(form.windowTitle(), form.SavedCaption());

    // The user's own choice of an album starts its first song as always.
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Pop\\Hits\\"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return library.SongsOpened() == 1; }, 3000))
        << "an album chosen after the start did not play";
    ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Beenden1));
}
