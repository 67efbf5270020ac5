#include "app/PlaybackRemote.h"

#include <gtest/gtest.h>

#include "app/PlaybackEvents.h"
#include "sources/SourceOwner.h"

using namespace tunrax;

// A remote command may come after the program's end, or in a second
// instance, where no controller plays: it must find nothing to do rather
// than a controller that has gone.
TEST(PlaybackRemote, WithoutAControllerNothingPlaysAndOnlyRaiseAndQuitAct) {
    TSourceOwner source([](TSourceOwner::Step step) { step(); });
    TPlaybackEvents events;
    int raised = 0, quit = 0;
    TPlaybackRemote remote(
        source, events, [&] { ++raised; }, [&] { ++quit; });

    for (void (TMediaControl::*command)() :
         {&TMediaControl::MediaPlay, &TMediaControl::MediaPause, &TMediaControl::MediaPlayPause,
          &TMediaControl::MediaStop, &TMediaControl::MediaNext, &TMediaControl::MediaPrevious})
        (remote.*command)();
    remote.MediaSetVolume(0.5);
    EXPECT_EQ(remote.MediaStatus(), TPlaybackStatus::Stopped);
    EXPECT_EQ(remote.MediaTrack().Serial, 0);
    EXPECT_TRUE(remote.MediaTrack().Title.isEmpty());
    EXPECT_EQ(remote.MediaTrack().Length, -1);
    EXPECT_FALSE(remote.MediaCanPlay());
    EXPECT_FALSE(remote.MediaCanGoNext());
    EXPECT_FALSE(remote.MediaCanGoPrevious());
    EXPECT_EQ(remote.MediaPosition(), -1);
    EXPECT_FALSE(remote.MediaSeek(1000));
    EXPECT_EQ(remote.MediaVolume(), 1.0);
    EXPECT_EQ(&remote.MediaEvents(), &events);

    remote.MediaRaise();
    remote.MediaQuit();
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(quit, 1);
}
