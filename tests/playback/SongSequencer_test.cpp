// Playing a song list without a window: the sequencer over a real local
// source and the recording audio library, tick by tick, with a view that
// records what the window would show.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "io/Error.h"
#include "playback/SongSequencer.h"
#include "sources/LocalSource.h"
#include "support/FetchingSource.h"
#include "support/Mp3Files.h"
#include "support/PlayLog.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

using Events = std::vector<std::string>;

// Records what the window would show, in order, among the player's events.
class RecordingView : public TPlaybackView {
public:
    explicit RecordingView(Events& seen) : FSeen(seen) {}
    void ShowSongStarting(const std::string& caption) override {
        FSeen.push_back("caption " + caption);
    }
    void ShowSongInfo(const TSongTags& tags) override {
        FSeen.push_back("info " + (tags.Found ? tags.Title : std::string("-")));
    }
    void ShowNoSong() override { FSeen.push_back("no song"); }
    void ShowStatus(TPlaybackStatus status) override {
        FSeen.push_back(status == TPlaybackStatus::Playing ? "icon on" : "icon off");
    }
    void ShowSelection(int row) override { FSeen.push_back("select " + std::to_string(row)); }

private:
    Events& FSeen;
};

class SongSequencerTest : public ::testing::Test {
protected:
    SongSequencerTest() {
        // The song started counts; asking the player does not.
        library.OnEvent = [this](const std::string& event) {
            if (event != "poll")
                seen.push_back(event);
        };
        WriteFile(music + "Album/01-Eins.mp3", "Eins");
        WriteFile(music + "Album/02-Zwei.mp3", "Zwei");
        WriteFile(music + "Album/03-Drei.mp3", "Drei");
        std::vector<std::string> files{"01-Eins.mp3", "02-Zwei.mp3", "03-Drei.mp3"};
        songs.Fill(files, "\\Album\\");
    }

    // Gives count ticks and returns what happened meanwhile.
    Events Ticks(int count) {
        seen.clear();
        for (int i = 0; i < count; ++i)
            sequencer.Tick();
        return seen;
    }
    static Events Repeated(int times, const Events& events) {
        Events all;
        for (int i = 0; i < times; ++i)
            all.insert(all.end(), events.begin(), events.end());
        return all;
    }
    // Ends the song under way, as the library reports at its end.
    void EndSong() { library.Activity = TStreamState::Stopped; }

    TempDir tmp;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", tmp.Path().c_str()};
    const std::string music = tmp / "Musik/";
    Events seen;
    TPlayLog library;
    TPlayer player{library};
    TSongList songs;
    RecordingView view{seen};
    std::unique_ptr<TSource> source = std::make_unique<FetchingSource>(false, music);
    int sourceUses = 0;
    TSongSequencer sequencer{player, songs, view, [this](const auto& use) {
                                 if (!source)
                                     return false;
                                 ++sourceUses;
                                 use(*source);
                                 return true;
                             }};
};

}  // namespace

TEST_F(SongSequencerTest, PlaysFromTheChosenSongToTheEndOfTheList) {
    // A song of another list plays on.
    WriteFile(music + "Andere/01-Anders.mp3", "Anders");
    player.Play(music + "Andere/01-Anders.mp3");
    EXPECT_EQ(Ticks(5), Events{}) << "nothing selected: nothing starts";
    songs.Select(1);
    sequencer.SongChosen();
    EXPECT_EQ(Ticks(1), Events{});
    EXPECT_EQ(Ticks(1), (Events{"caption Zwei", "info -", "icon on", "play Zwei"}))
        << "the second tick after the choice starts the song";
    EXPECT_EQ(sourceUses, 1);
    EXPECT_EQ(ReadFile(TempFileName()), "Zwei");
    EXPECT_EQ(sequencer.Serial(), 1);
    EXPECT_EQ(sequencer.SongCaption(), "Zwei");
    EXPECT_EQ(sequencer.Status(), TPlaybackStatus::Playing);
    EXPECT_EQ(Ticks(3), Events{}) << "the player is asked, the song plays on";
    EXPECT_EQ(sequencer.TickCount(), 3);

    // The song ends: the next is selected and starts two ticks later.
    EndSong();
    EXPECT_EQ(Ticks(1), (Events{"select 2"}));
    EXPECT_FALSE(Exists(TempFileName())) << "the temporary file goes when the player stops";
    EXPECT_EQ(songs.Selected(), 2);
    EXPECT_EQ(sequencer.Status(), TPlaybackStatus::Playing) << "between two songs the list plays";
    EXPECT_EQ(Ticks(2), (Events{"caption Drei", "info -", "icon on", "play Drei"}));
    EXPECT_EQ(sequencer.Serial(), 2);

    // The last song ends: the list has ended and stays there, asking the
    // player every tick from the fourth after the start.
    EndSong();
    EXPECT_EQ(Ticks(3), Repeated(2, {"no song", "icon off"}));
    EXPECT_EQ(songs.Selected(), 2);
    EXPECT_EQ(sequencer.Status(), TPlaybackStatus::Stopped);
}

TEST_F(SongSequencerTest, StartsOnlyWithASourceAndAListShown) {
    WriteFile(music + "Album/01-Eins.mp3", SilentMp3Frames(0.1) + Id3v1Tag("Ei_ns", "Band", "A"));
    songs.Select(0);
    sequencer.SetListPlays(false);
    EXPECT_EQ(Ticks(2), Events{}) << "a list left over from an old tree played";
    sequencer.SetListPlays(true);
    auto kept = std::move(source);
    sequencer.SongChosen();
    EXPECT_EQ(Ticks(2), Events{}) << "played without a source";
    EXPECT_EQ(sourceUses, 0);
    source = std::move(kept);
    sequencer.SongChosen();
    Events started = Ticks(2);
    ASSERT_EQ(started.size(), 4u);
    EXPECT_EQ(started[1], "info Ei ns") << "the tag's \"_\" shows as a space";

    // A song that cannot be fetched starts nothing and says why.
    ::unlink((music + "Album/02-Zwei.mp3").c_str());
    songs.Select(1);
    sequencer.SongChosen();
    EXPECT_EQ(Ticks(1), Events{});
    EXPECT_THROW(sequencer.Tick(), Error);
    EXPECT_EQ(sequencer.Serial(), 1);
}

TEST_F(SongSequencerTest, ARemoteControlStopsPausesAndChoosesSongs) {
    EXPECT_FALSE(sequencer.CanGoNext());
    EXPECT_FALSE(sequencer.CanGoPrevious());
    // Play with nothing chosen starts the list from its first song.
    library.Activity = TStreamState::Stopped;
    sequencer.Play();
    EXPECT_EQ(seen, Events{"select 0"});
    EXPECT_EQ(Ticks(2), (Events{"caption Eins", "info -", "icon on", "play Eins"}));
    EXPECT_TRUE(sequencer.CanGoNext());
    EXPECT_FALSE(sequencer.CanGoPrevious());

    // A pause holds the list; play resumes the song.
    seen.clear();
    sequencer.Pause();
    library.Activity = TStreamState::Paused;
    EXPECT_EQ(sequencer.Status(), TPlaybackStatus::Paused);
    EXPECT_EQ(Ticks(5), Events{}) << "a paused song holds the list";
    sequencer.Play();
    library.Activity = TStreamState::Playing;
    EXPECT_EQ(seen, Events{"icon on"});
    EXPECT_EQ(std::count(library.Calls.begin(), library.Calls.end(), "Resume(100)"), 1)
        << "not resumed";

    // A stop holds the list until a song is chosen.
    seen.clear();
    sequencer.Stop();
    EXPECT_EQ(seen, (Events{"no song", "icon off"}));
    EXPECT_EQ(sequencer.Status(), TPlaybackStatus::Stopped);
    EXPECT_EQ(Ticks(5), Events{}) << "the list went on after a stop";
    sequencer.Stop();
    EXPECT_EQ(seen, Events{}) << "a stopped list is stopped again";
    // Play starts the song chosen again: the player still holds it, so it is
    // neither fetched nor opened anew.
    const int uses = sourceUses;
    sequencer.Play();
    EXPECT_EQ(Ticks(2), (Events{"caption Eins", "info -", "icon on", "restart Eins"}));
    EXPECT_EQ(sourceUses, uses + 1) << "the source is held while the song starts";
    EXPECT_EQ(sequencer.Serial(), 2);
    // Chosen away and back before another song started: still the same.
    sequencer.Stop();
    sequencer.Next();
    sequencer.Previous();
    EXPECT_EQ(Ticks(2), (Events{"caption Eins", "info -", "icon on", "restart Eins"}));
    // Once another song has played, it is fetched and opened again.
    sequencer.Next();
    EXPECT_EQ(Ticks(2), (Events{"caption Zwei", "info -", "icon on", "play Zwei"}));
    sequencer.Stop();
    sequencer.Previous();
    EXPECT_EQ(Ticks(2), (Events{"caption Eins", "info -", "icon on", "play Eins"}));
    // And a change of the list lets the song held go.
    sequencer.Stop();
    std::vector<std::string> again{"01-Eins.mp3", "02-Zwei.mp3", "03-Drei.mp3"};
    songs.Fill(again, "\\Album\\");
    seen.clear();
    sequencer.Play();
    EXPECT_EQ(seen, Events{"select 0"});
    EXPECT_EQ(Ticks(2), (Events{"caption Eins", "info -", "icon on", "play Eins"}));

    // Next and previous choose a song, which starts through the ticks.
    seen.clear();
    sequencer.Next();
    sequencer.Next();
    EXPECT_EQ(seen, (Events{"select 1", "select 2"}));
    EXPECT_FALSE(sequencer.CanGoNext());
    sequencer.Next();
    sequencer.Previous();
    EXPECT_EQ(Ticks(2), (Events{"caption Zwei", "info -", "icon on", "play Zwei"}));
    EXPECT_EQ(songs.Selected(), 1);
}

TEST_F(SongSequencerTest, AStopWhileTheSongIsFetchedKeepsItFromPlaying) {
    // The source lets the remote control in while it fetches, as a slow
    // transfer does through the window's repaints.
    class StoppingSource : public FetchingSource {
    public:
        using FetchingSource::FetchingSource;
        std::function<void()> During;
        void GetFile(std::ostream& dest, const std::string& path) override {
            During();
            TLocalSource::GetFile(dest, path);
        }
    };
    auto stopping = std::make_unique<StoppingSource>(false, music);
    bool stop = false;
    stopping->During = [&] {
        if (stop)
            sequencer.Stop();
    };
    source = std::move(stopping);
    songs.Select(0);
    sequencer.SongChosen();
    EXPECT_EQ(Ticks(4), (Events{"caption Eins", "info -", "icon on", "play Eins"}));

    // The first song ends; the stop comes while the next one is fetched.
    stop = true;
    EndSong();
    EXPECT_EQ(Ticks(3), (Events{"select 1", "caption Zwei", "no song", "icon off", "no song"}));
    EXPECT_EQ(sequencer.Serial(), 1) << "the song stopped was counted";
    EXPECT_EQ(sequencer.Status(), TPlaybackStatus::Stopped);
    EXPECT_EQ(Ticks(4), Events{}) << "the stopped list went on";
    EXPECT_EQ(songs.Selected(), 1);
}
