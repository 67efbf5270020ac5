// When the main window starts a song and asks the player how it does, tick by
// tick of its 100 ms playback timer, after selections made with the mouse and
// the keyboard. The test is the clock: the timer is stopped and its ticks are
// given one at a time, so that every count is exact.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <iterator>
#include <memory>

#include "app/MainWindow.h"
#include "settings/IniFile.h"
#include "support/LocalSource.h"
#include "support/PlayLog.h"
#include "support/TempDir.h"
#include "support/WindowInput.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

using Events = std::vector<std::string>;

// Numbers what the library is told by tick: "2 play Eins", "4 poll".
class PlayLog : public TPlayLog {
public:
    PlayLog() {
        OnEvent = [this](const std::string& event) {
            // The song fetched ahead is queued whenever its fetch in the
            // background is done, at no fixed tick: not part of this timeline.
            if (event.rfind("queue", 0) == 0)
                return;
            Seen.push_back(std::to_string(Tick) + " " + event);
        };
    }
    int Tick = 0;
    Events Seen;
};

class TimelineTest : public ::testing::Test {
protected:
    TimelineTest() {
        ChooseLocalSource(settings, music);
        WriteFile(music + "tunrax.dat", "Album\r\nAnderes\r\n");
        WriteFile(music + "Anderes/01-Vorher.mp3", "Vorher");
        WriteFile(music + "Album/01-Eins.mp3", "Eins");
        WriteFile(music + "Album/02-Zwei.mp3", "Zwei");
        WriteFile(music + "Album/03-Drei.mp3", "Drei");
    }

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
        form.GiveTicksByHand();  // the test gives the ticks
        // A song of another album plays.
        ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Anderes\\"));
        ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));
        ASSERT_EQ(Ticks(2), Events{"2 play Vorher"});
        ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Album\\"));
        ASSERT_EQ(Ui(form).lvLieder->topLevelItemCount(), 3);
        // However far the count was, it now polls every tick.
        EXPECT_FALSE(AnyStarted(Ticks(4))) << "a song started while another plays";
    }
    void TearDown() override { EXPECT_EQ(boxes.Texts, std::vector<std::string>{}); }

    // Gives count ticks of the playback timer, numbered from 1, and returns
    // what the audio library was asked meanwhile.
    Events Ticks(int count) {
        library.Seen.clear();
        for (library.Tick = 1; library.Tick <= count; ++library.Tick) {
            EXPECT_FALSE(Ui(form).mmStart->isActive()) << "the playback timer runs again by itself";
            QMetaObject::invokeMethod(Ui(form).mmStart, "timeout");
            QCoreApplication::processEvents();
        }
        library.Tick = 0;
        return library.Seen;
    }
    static bool AnyStarted(const Events& events) {
        return std::any_of(events.begin(), events.end(), [](const std::string& event) {
            return event.find(" play ") != std::string::npos;
        });
    }
    QString Playing(const char* song) const {
        return form.SavedCaption() + QStringLiteral(" - ") + QString::fromUtf8(song);
    }
    int Selected() const {
        const QList<QTreeWidgetItem*> selected = Ui(form).lvLieder->selectedItems();
        return selected.size() == 1 ? Ui(form).lvLieder->indexOfTopLevelItem(selected.first()) : -1;
    }

    TempDir tmp;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", tmp.Path().c_str()};
    const std::string music = tmp / "Musik/";
    TIniFile settings{tmp / "tunrax.ini"};
    std::unique_ptr<PlayLog> owned = std::make_unique<PlayLog>();
    PlayLog& library = *owned;
    TMainWindow form{settings, std::move(owned)};
    MessageBoxReader boxes;  // an error box would hold the test
};

}  // namespace

TEST_F(TimelineTest, ASongStartsOnTheSecondTickAndIsPolledFromTheFourth) {
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));
    EXPECT_EQ(Ticks(6), (Events{"2 play Eins", "4 poll", "5 poll", "6 poll"}));
    EXPECT_EQ(form.windowTitle(), Playing("Eins"));

    // The same with the arrow keys; a change before the second tick counts
    // from the start again, so that the song passed over never starts.
    ASSERT_NO_FATAL_FAILURE(PressKey(form, Qt::Key_Down));
    EXPECT_EQ(Ticks(1), Events{});
    ASSERT_NO_FATAL_FAILURE(PressKey(form, Qt::Key_Down));
    EXPECT_EQ(Ticks(4), (Events{"2 play Drei", "4 poll"}));
    EXPECT_EQ(form.windowTitle(), Playing("Drei"));
    ASSERT_NO_FATAL_FAILURE(PressKey(form, Qt::Key_Up));
    EXPECT_EQ(Ticks(3), (Events{"2 play Zwei"}));
}

TEST_F(TimelineTest, TabAndSpaceStartTheListWhichPlaysEverySongToItsEnd) {
    // Tab from the album tree into the list makes its first song current but
    // does not select it: nothing starts.
    ASSERT_NO_FATAL_FAILURE(PressKey(form, Qt::Key_Tab));
    ASSERT_EQ(QApplication::focusWidget(), Ui(form).lvLieder);
    EXPECT_FALSE(AnyStarted(Ticks(4)));
    EXPECT_EQ(Selected(), -1);

    ASSERT_NO_FATAL_FAILURE(PressKey(form, Qt::Key_Space));
    ASSERT_EQ(Selected(), 0);
    EXPECT_EQ(Ticks(4), (Events{"2 play Eins", "4 poll"}));

    // Each song that ends is found on the next tick; the next one starts two
    // ticks after that, and none is passed over.
    for (const char* next : {"Zwei", "Drei"}) {
        SCOPED_TRACE(next);
        library.Activity = TStreamState::Stopped;
        EXPECT_EQ(Ticks(5), (Events{"1 poll", std::string("3 play ") + next, "5 poll"}));
        EXPECT_EQ(form.windowTitle(), Playing(next));
    }
    EXPECT_EQ(Selected(), 2);
    library.Activity = TStreamState::Stopped;
    EXPECT_EQ(Ticks(3), (Events{"1 poll", "2 poll", "3 poll"})) << "the list has ended";
    EXPECT_EQ(form.windowTitle(), form.SavedCaption());
    EXPECT_EQ(Selected(), 2);
}

TEST_F(TimelineTest, AClickOnTheCurrentSongOrAfterARemoteStopStartsIt) {
    ASSERT_NO_FATAL_FAILURE(PressKey(form, Qt::Key_Tab));
    ASSERT_EQ(QApplication::focusWidget(), Ui(form).lvLieder);
    EXPECT_FALSE(AnyStarted(Ticks(4)));
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));  // the row that is current already
    ASSERT_EQ(Selected(), 0);
    EXPECT_EQ(Ticks(4), (Events{"2 play Eins", "4 poll"}));

    // Stopped by the desktop's sound menu: the list holds, until a song is
    // chosen in the window.
    form.MediaControl().MediaStop();
    EXPECT_EQ(Ticks(3), (Events{"1 poll", "2 poll", "3 poll"}));
    EXPECT_EQ(form.windowTitle(), form.SavedCaption());
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 1));
    EXPECT_EQ(Ticks(4), (Events{"2 play Zwei", "4 poll"}));
    EXPECT_EQ(form.windowTitle(), Playing("Zwei"));
}

TEST_F(TimelineTest, RemotePlayNextAndPreviousStartTheSongAtOnce) {
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));
    EXPECT_EQ(Ticks(4), (Events{"2 play Eins", "4 poll"}));

    // Tick 0: before the playback timer has ticked at all. The songs played
    // (asking how the player does is no start).
    const auto remote = [this](void (TMediaControl::*command)()) {
        library.Seen.clear();
        (form.MediaControl().*command)();
        QCoreApplication::processEvents();
        Events started;
        std::copy_if(library.Seen.begin(), library.Seen.end(), std::back_inserter(started),
                     [](const std::string& event) {
                         return event.find(" play ") != std::string::npos ||
                                event.find(" restart ") != std::string::npos;
                     });
        return started;
    };
    EXPECT_EQ(remote(&TMediaControl::MediaNext), Events{"0 play Zwei"});
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(form.windowTitle(), Playing("Zwei"));
    EXPECT_EQ(Ticks(3), (Events{"1 poll", "2 poll", "3 poll"})) << "started once only";
    EXPECT_EQ(remote(&TMediaControl::MediaPrevious), Events{"0 play Eins"});
    EXPECT_EQ(Selected(), 0);

    // Play after a stop starts the chosen song at once as well; Play while a
    // song plays changes nothing.
    form.MediaControl().MediaStop();
    EXPECT_EQ(Ticks(2), (Events{"1 poll", "2 poll"}));
    EXPECT_EQ(remote(&TMediaControl::MediaPlay), Events{"0 restart Eins"});
    EXPECT_EQ(remote(&TMediaControl::MediaPlay), Events{});

    // A selection of the user's keeps its pause, in which the arrow keys
    // pass over songs.
    ASSERT_NO_FATAL_FAILURE(PressKey(form, Qt::Key_Down));
    EXPECT_EQ(Ticks(3), (Events{"2 play Zwei"}));
}
