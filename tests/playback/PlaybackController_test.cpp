// The owner of what plays, without a window: the list it was given, the
// user's choices, automatic playing, the remote commands, what its listeners
// hear and when its clock runs. Over a real local source and the recording
// audio library; the test is the clock.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "playback/PlaybackController.h"
#include "sources/LocalSource.h"
#include "support/FetchingSource.h"
#include "support/Mp3Files.h"
#include "support/PlayLog.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

using Events = std::vector<std::string>;

// Runs when told and keeps the calls it is to make soon until the test
// lets them run.
class HandClock : public TPlaybackClock {
public:
    bool Running = false;
    std::vector<std::function<void()>> Soon;
    void Run(bool on) override { Running = on; }
    void CallSoon(std::function<void()> call) override { Soon.push_back(std::move(call)); }
    void RunSoon() {
        auto calls = std::move(Soon);
        Soon.clear();
        for (auto& call : calls)
            call();
    }
};

// What the listeners are told, in order, with the player's events between.
class RecordingListener : public TPlaybackListener {
public:
    explicit RecordingListener(Events& seen) : FSeen(seen) {}
    void OnSongStarting(const std::string& caption) override { Tell("starting " + caption); }
    void OnTrackChanged(const TTrack& track) override {
        Tell("track " + std::to_string(track.Serial) + " " + track.Caption + " " +
             std::to_string(track.Length));
    }
    void OnNoSong() override { Tell("no song"); }
    void OnStatusChanged(TPlaybackStatus status) override {
        Tell(status == TPlaybackStatus::Playing  ? "playing"
             : status == TPlaybackStatus::Paused ? "paused"
                                                 : "stopped");
    }
    void OnChoiceChanged(int row) override { Tell("choice " + std::to_string(row)); }
    void OnListChanged() override { Tell("list"); }
    void OnAutoPlayChanged(bool on) override { Tell(on ? "auto on" : "auto off"); }
    void OnVolumeChanged(double volume) override {
        Tell("volume " + std::to_string(static_cast<int>(volume * 100)));
    }

private:
    void Tell(const std::string& event) { FSeen.push_back(event); }
    Events& FSeen;
};

class PlaybackControllerTest : public ::testing::Test {
protected:
    PlaybackControllerTest() {
        log.OnEvent = [this](const std::string& event) {
            if (event != "poll")
                seen.push_back(event);
        };
        for (const char* song : {"01-Eins", "02-Zwei", "03-Drei"})
            WriteFile(music + "Album/" + song + ".mp3", std::string(song).substr(3));
        controller.AddListener(listener);
    }

    void ShowAlbum() {
        std::vector<std::string> files{"01-Eins.mp3", "02-Zwei.mp3", "03-Drei.mp3"};
        controller.ShowAlbum(files, "\\Album\\");
    }
    Events Ticks(int count) {
        seen.clear();
        for (int i = 0; i < count; ++i)
            controller.Tick();
        return seen;
    }
    // Ticks until the clock stops (at most limit), and what was seen.
    Events TicksUntilQuiet(int limit = 50) {
        seen.clear();
        for (int i = 0; i < limit && clock.Running; ++i)
            controller.Tick();
        EXPECT_FALSE(clock.Running) << "the clock runs on with nothing to do";
        return seen;
    }
    void EndSong() { log.Activity = TStreamState::Stopped; }

    TempDir tmp;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", tmp.Path().c_str()};
    const std::string music = tmp / "Musik/";
    Events seen;
    RecordingListener listener{seen};
    HandClock clock;
    std::unique_ptr<TPlayLog> owned = std::make_unique<TPlayLog>();
    TPlayLog& log = *owned;
    std::unique_ptr<TSource> source = std::make_unique<FetchingSource>(false, music);
    TPlaybackController controller{std::move(owned),
                                   [this](const std::function<void(TSource&)>& use) {
                                       use(*source);
                                       return true;
                                   },
                                   clock};
};

}  // namespace

TEST_F(PlaybackControllerTest, TheListPlaysOnWhateverTheWindowShowsUntilItsAlbumIsGone) {
    ShowAlbum();
    controller.ChooseSong(0);
    EXPECT_EQ(Ticks(2), (Events{"starting Eins", "track 1 Eins -1", "playing", "play Eins"}));
    EXPECT_EQ(controller.Track().Path, "\\Album\\01-Eins.mp3");
    // Nothing the window does with its tree reaches the controller: the
    // list goes on at the song's end.
    EndSong();
    EXPECT_EQ(Ticks(4), (Events{"choice 1", "starting Zwei", "track 2 Zwei -1", "play Zwei"}));
    // A tree made anew leaves the songs listed; the song heard ends, and
    // nothing follows it.
    controller.ForgetAlbum();
    EXPECT_FALSE(controller.CanPlay());
    EXPECT_EQ(controller.Songs().Size(), 3);
    EndSong();
    EXPECT_EQ(TicksUntilQuiet(), (Events{"no song", "stopped"}));
    EXPECT_EQ(controller.Songs().Selected(), 1) << "a list that does not play was walked";
    controller.ChooseSong(2);
    EXPECT_EQ(TicksUntilQuiet(), Events{"no song"}) << "a song of a forgotten album started";

    // A favourite list plays whatever the tree holds.
    std::vector<std::string> entries{"\\Album\\03-Drei.mp3", "\\Album\\01-Eins.mp3"};
    controller.ShowFavorites(entries);
    EXPECT_EQ(controller.Origin(), TListOrigin::Favorites);
    controller.ForgetAlbum();
    EXPECT_TRUE(controller.CanPlay());
    controller.ChooseSong(0);
    EXPECT_EQ(Ticks(2), (Events{"starting Drei", "track 3 Drei -1", "playing", "play Drei"}));
}

TEST_F(PlaybackControllerTest, AResumeResumesThePausedSongWhateverWasChosenMeanwhile) {
    ShowAlbum();
    controller.ChooseSong(0);
    Ticks(4);
    controller.Pause();
    log.Activity = TStreamState::Paused;
    EXPECT_EQ(controller.Status(), TPlaybackStatus::Paused);
    // "Titel nicht abspielen", another song clicked, then play (the tray
    // icon's left click, a media key).
    controller.SetAutoPlay(false);
    controller.ChooseSong(2);
    seen.clear();
    controller.Play();
    log.Activity = TStreamState::Playing;
    clock.RunSoon();
    EXPECT_EQ(seen, Events{"playing"}) << "not the paused song resumed";
    EXPECT_EQ(controller.Track().Caption, "Eins");
    EXPECT_EQ(Ticks(5), Events{}) << "the song clicked started";
    // Play while the song plays changes nothing; PlayPause pauses it.
    controller.Play();
    clock.RunSoon();
    EXPECT_EQ(Ticks(2), Events{});
    seen.clear();
    controller.PlayPause();
    EXPECT_EQ(seen, Events{"paused"});
}

TEST_F(PlaybackControllerTest, AutomaticPlayingAndItsMarkAgreeAndAnEndedSongIsReportedStopped) {
    ShowAlbum();
    seen.clear();
    controller.SetAutoPlay(false);
    controller.SetAutoPlay(false);
    EXPECT_EQ(seen, Events{"auto off"}) << "told once, when it changes";
    EXPECT_FALSE(controller.AutoPlay());
    // A song chosen does not start; the count waits for automatic playing.
    controller.ChooseSong(0);
    EXPECT_EQ(Ticks(5), Events{});
    EXPECT_FALSE(clock.Running) << "the clock ran with nothing to watch";
    seen.clear();
    controller.SetAutoPlay(true);
    EXPECT_TRUE(clock.Running);
    EXPECT_EQ(Ticks(2), (Events{"starting Eins", "track 1 Eins -1", "playing", "play Eins"}))
        << "the song chosen while it was off starts two ticks after it is on";

    // Off while a song plays: the song is seen to its end, and then nothing
    // claims to play and nothing follows.
    controller.SetAutoPlay(false);
    EXPECT_EQ(Ticks(3), Events{});
    EXPECT_TRUE(clock.Running) << "the song heard is not watched";
    EndSong();
    EXPECT_EQ(TicksUntilQuiet(), (Events{"no song", "stopped"}));
    EXPECT_EQ(controller.Status(), TPlaybackStatus::Stopped);
    EXPECT_FALSE(Exists(TempFileName()));
    EXPECT_EQ(controller.Songs().Selected(), 0);

    // An explicit Next plays while it is off, and nothing follows it either.
    seen.clear();
    controller.Next();
    clock.RunSoon();
    EXPECT_EQ(seen,
              (Events{"choice 1", "starting Zwei", "track 2 Zwei -1", "playing", "play Zwei"}));
    EndSong();
    EXPECT_EQ(TicksUntilQuiet(), (Events{"no song", "stopped"}));

    // While held (a song shown in its album), ticks count for nothing; the
    // song then chosen does not start.
    controller.SetAutoPlay(true);
    {
        const TPlaybackController::THold hold(controller);
        controller.ChooseSong(2);
        EXPECT_EQ(Ticks(5), Events{});
        controller.SkipStart();
    }
    EXPECT_EQ(TicksUntilQuiet(), Events{"no song"}) << "the song shown in its album started";
}

TEST_F(PlaybackControllerTest, TheClockRunsOnlyWhileATickCanChangeSomething) {
    // At first: the ticks find nothing to play, show so, and stop.
    log.Activity = TStreamState::Stopped;
    EXPECT_TRUE(clock.Running);
    EXPECT_EQ(TicksUntilQuiet(), (Events{"no song"}));
    // Listed songs start from the first one when the list is over.
    ShowAlbum();
    EXPECT_TRUE(clock.Running) << "a new list did not start the clock";
    Events played = Ticks(5);
    ASSERT_TRUE(clock.Running);
    EXPECT_EQ(played,
              (Events{"choice 0", "starting Eins", "track 1 Eins -1", "playing", "play Eins"}));
    // Playing and paused: it runs.
    controller.Pause();
    log.Activity = TStreamState::Paused;
    EXPECT_TRUE(clock.Running);
    controller.Play();
    log.Activity = TStreamState::Playing;
    clock.RunSoon();
    // Stopped by a remote control: quiet once the player is found stopped.
    controller.Stop();
    EXPECT_TRUE(clock.Running);
    EXPECT_EQ(TicksUntilQuiet(), Events{});
    // The list's end.
    controller.ChooseSong(2);
    EXPECT_TRUE(clock.Running);
    Ticks(4);
    EndSong();
    EXPECT_EQ(TicksUntilQuiet(), (Events{"no song", "stopped"}));
    // The volume changes nothing a tick would see.
    seen.clear();
    controller.SetVolume(1.5);
    EXPECT_EQ(seen, Events{"volume 100"});
    controller.SetVolume(0.25);
    EXPECT_EQ(controller.Volume(), 0.25);
    seen.clear();
    controller.SetVolume(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(controller.Volume(), 0.25) << "no number taken for a volume";
    EXPECT_EQ(seen, Events{});
    EXPECT_FALSE(clock.Running);
}

TEST_F(PlaybackControllerTest, TheLengthOfTheSongIsToldOnceThePlayerKnowsIt) {
    ShowAlbum();
    controller.ChooseSong(0);
    EXPECT_EQ(Ticks(2), (Events{"starting Eins", "track 1 Eins -1", "playing", "play Eins"}));
    EXPECT_EQ(Ticks(2), Events{});
    log.Length = 2'500'000;
    EXPECT_EQ(Ticks(1), Events{"track 1 Eins 2500000"});
    log.Length = 2'600'000;  // an estimate refined: the song stays as told
    EXPECT_EQ(Ticks(3), Events{});
    EXPECT_EQ(controller.Track().Length, 2'500'000);
}
