#include "audio/Player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "support/RecordingAudioBackend.h"
#include "support/WaitUntil.h"

using namespace tunrax;
using tunrax::test::TRecordingAudioBackend;
using tunrax::test::WaitUntil;

namespace {

using Calls = std::vector<std::string>;

// The calls made, whatever their order: for where the order is no contract.
std::multiset<std::string> Unordered(const Calls& calls) {
    return {calls.begin(), calls.end()};
}

// Whether `first` was called, and `then` after it.
bool CalledBefore(const Calls& calls, const std::string& first, const std::string& then) {
    const auto at = std::find(calls.begin(), calls.end(), first);
    return at != calls.end() && std::find(at + 1, calls.end(), then) != calls.end();
}

// Records the player's notifications by name, in order.
struct Events {
    std::vector<std::string> Seen;
    void Attach(TPlayer& player) {
        player.OnPlay = [this](TPlayer*) { Seen.push_back("play"); };
        player.OnSongChange = [this](TPlayer*) { Seen.push_back("songchange"); };
        player.OnPause = [this](TPlayer*) { Seen.push_back("pause"); };
        player.OnResume = [this](TPlayer*) { Seen.push_back("resume"); };
    }
};

// A player on lib whose song a.mp3 plays in stream 100, with what its start
// called and raised forgotten: a test sees only what it does itself.
struct SongPlaying {
    explicit SongPlaying(TRecordingAudioBackend& lib) : player(lib) {
        lib.Streams.insert("a.mp3");
        events.Attach(player);
        player.Play("a.mp3");
        lib.Calls.clear();
        events.Seen.clear();
    }
    TPlayer player;
    Events events;
};

}  // namespace

TEST(Player, InitTellsWhenTheLibraryCannotPlayMp3Files) {
    for (const bool ready : {true, false}) {
        SCOPED_TRACE(ready);
        TRecordingAudioBackend lib;
        lib.StartResult = ready;
        TPlayer player(lib);
        std::vector<std::string> messages;
        player.OnError = [&](const std::string& text, const std::string& title) {
            messages.push_back(title + ": " + text);
        };
        player.Init();
        EXPECT_EQ(lib.Calls, Calls{"Start()"});
        EXPECT_EQ(messages, ready ? std::vector<std::string>{}
                                  : std::vector<std::string>{"Fehler: Bass 2.3 nicht gefunden"});
    }
    SCOPED_TRACE("no handler");
    TRecordingAudioBackend lib;
    lib.StartResult = false;
    TPlayer player(lib);
    player.Init();
    EXPECT_EQ(lib.Calls, Calls{"Start()"});
}

TEST(Player, PlayOpensAStreamForTheFile) {
    {
        SCOPED_TRACE("empty name does nothing, not even Stop");
        TRecordingAudioBackend lib;
        SongPlaying song(lib);
        auto& [player, events] = song;
        player.SetFileName("before.mp3");
        player.Play("");
        EXPECT_TRUE(lib.Calls.empty());
        EXPECT_EQ(player.FileName(), "before.mp3");
        EXPECT_EQ(player.State(), TStreamState::Playing) << "the song playing was stopped";
        EXPECT_TRUE(events.Seen.empty());
    }
    // Streams and tracker modules alike: the library tells them apart.
    for (const char* name : {"x.MP3", "/m/a.mp2", "/m/b.Mp1", "x.ogg", "/m/c.mp3.wav",
                             "/m/d.mp3/song", "/m/noextension", "/m/e.mp4", "song.mod"}) {
        SCOPED_TRACE(name);
        TRecordingAudioBackend lib;
        lib.Streams = {name};
        TPlayer player(lib);
        Events events;
        events.Attach(player);
        player.Play(name);
        // In this order: the volume is set before the song is heard.
        EXPECT_EQ(lib.Calls,
                  (Calls{std::string("Open(") + name + ")", "SetVolume(100,100)", "Play(100)"}));
        EXPECT_NE(player.StreamId(), 0u);
        EXPECT_EQ(player.FileName(), name);
        EXPECT_EQ(events.Seen, (std::vector<std::string>{"play", "songchange"}));
        EXPECT_EQ(player.State(), TStreamState::Playing);
    }
    {
        SCOPED_TRACE("refused: no stream, no notification, reads stopped");
        TRecordingAudioBackend lib;
        TPlayer player(lib);
        Events events;
        events.Attach(player);
        player.Play("bad.mp3");
        EXPECT_EQ(lib.Calls, Calls{"Open(bad.mp3)"});
        EXPECT_EQ(player.StreamId(), 0u);
        EXPECT_EQ(player.FileName(), "bad.mp3");
        EXPECT_TRUE(events.Seen.empty());
        EXPECT_EQ(player.State(), TStreamState::Stopped)
            << "a player without a stream plays nothing";
    }
    {
        SCOPED_TRACE("the next Play closes the stream before");
        TRecordingAudioBackend lib;
        lib.Streams = {"a.mp3", "b.mp3"};
        TPlayer player(lib);
        player.Play("a.mp3");
        const uint32_t first = player.StreamId();
        lib.Calls.clear();
        player.Play("b.mp3");
        // In this order: the song before is gone before the next one opens.
        EXPECT_EQ(lib.Calls,
                  (Calls{"Close(100)", "Open(b.mp3)", "SetVolume(101,100)", "Play(101)"}));
        EXPECT_NE(player.StreamId(), 0u);
        EXPECT_NE(player.StreamId(), first);
    }
}

TEST(Player, EndIsAskedForOnlyWithAHandler) {
    TRecordingAudioBackend lib;
    lib.Streams = {"a.mp3", "b.mp3"};
    TPlayer player(lib);
    std::vector<TPlayer*> ended;
    player.OnEnd = [&](TPlayer* sender) { ended.push_back(sender); };
    player.Play("a.mp3");
    EXPECT_EQ(Unordered(lib.Calls),
              Unordered({"Open(a.mp3)", "SetOnEnd(100)", "SetVolume(100,100)", "Play(100)"}));
    EXPECT_TRUE(CalledBefore(lib.Calls, "SetOnEnd(100)", "Play(100)"))
        << "a short song could end before its handler is set";
    lib.FireEnd(100);
    EXPECT_EQ(ended, std::vector<TPlayer*>{&player});

    player.Stop();
    player.OnEnd = nullptr;
    lib.Calls.clear();
    player.Play("b.mp3");
    for (const std::string& call : lib.Calls)
        EXPECT_EQ(call.find("SetOnEnd"), std::string::npos) << call;
    lib.FireEnd(101);
    EXPECT_EQ(ended.size(), 1u);
}

TEST(Player, StopPauseResumeStateAndFree) {
    TRecordingAudioBackend lib;
    {
        SongPlaying song(lib);
        auto& [player, events] = song;

        player.Pause();
        player.Resume();
        EXPECT_EQ(lib.Calls, (Calls{"Pause(100)", "Resume(100)"}));
        EXPECT_EQ(events.Seen, (std::vector<std::string>{"pause", "resume"}));

        const std::pair<TStreamState, TStreamState> states[] = {
            {TStreamState::Stopped, TStreamState::Stopped},
            {TStreamState::Playing, TStreamState::Playing},
            {TStreamState::Stalled, TStreamState::Stalled},
            {TStreamState::Paused, TStreamState::Paused}};
        for (const auto& [activity, state] : states) {
            SCOPED_TRACE(static_cast<int>(activity));
            lib.Activity = activity;
            lib.Calls.clear();
            EXPECT_EQ(player.State(), state);
            // The poll comes first, so that the stream's answer is current.
            EXPECT_EQ(lib.Calls, (Calls{"Poll()", "State(100)"}));
        }

        lib.Calls.clear();
        player.Stop();
        EXPECT_EQ(lib.Calls, Calls{"Close(100)"});
        EXPECT_EQ(player.StreamId(), 0u);
        EXPECT_EQ(events.Seen.size(), 2u);  // Stop raises nothing

        lib.Calls.clear();
        lib.Activity = TStreamState::Playing;
        player.Pause();  // with no stream: told, but nothing reaches the library
        EXPECT_TRUE(lib.Calls.empty());
        EXPECT_EQ(events.Seen.back(), "pause");
        EXPECT_EQ(player.State(), TStreamState::Stopped);
        EXPECT_EQ(lib.Calls, Calls{"Poll()"}) << "the library's own work waits for a stream";
        lib.Calls.clear();
    }
    EXPECT_EQ(lib.Calls, Calls{"Free()"});
    SCOPED_TRACE("a stream still open goes before the library is freed");
    lib.Calls.clear();
    {
        TPlayer player(lib);
        player.Play("a.mp3");
        lib.Calls.clear();
    }
    EXPECT_EQ(lib.Calls, (Calls{"Close(101)", "Free()"}));
}

TEST(Player, QueueFollowsThePlayingSong) {
    TRecordingAudioBackend lib;
    lib.Streams = {"a.mp3", "e.mp3"};
    TPlayer player(lib);
    Events events;
    events.Attach(player);
    std::vector<TPlayer*> ended;
    player.OnEnd = [&](TPlayer* sender) { ended.push_back(sender); };
    {
        SCOPED_TRACE("nothing plays: nothing to follow");
        EXPECT_FALSE(player.Queue("b.mp3"));
        EXPECT_TRUE(lib.Calls.empty());
        EXPECT_EQ(player.QueuedFileName(), "");
    }
    player.Play("a.mp3");
    const uint32_t first = player.StreamId();
    lib.Calls.clear();
    events.Seen.clear();
    {
        SCOPED_TRACE("queued, not yet audible");
        EXPECT_TRUE(player.Queue("b.mp3"));
        EXPECT_EQ(lib.Calls, Calls{"Queue(100,b.mp3)"});
        EXPECT_EQ(player.QueuedFileName(), "b.mp3");
        EXPECT_FALSE(player.QueuedSongStarted());
        EXPECT_EQ(player.FileName(), "a.mp3");
    }
    {
        SCOPED_TRACE("audible: reported once, from the poll, with the new name");
        lib.FireNext(100);
        EXPECT_TRUE(events.Seen.empty()) << "nothing is raised on the library's thread";
        EXPECT_TRUE(player.QueuedSongStarted());
        EXPECT_EQ(player.FileName(), "b.mp3");
        EXPECT_EQ(player.QueuedFileName(), "");
        EXPECT_EQ(events.Seen, std::vector<std::string>{"songchange"});
        EXPECT_FALSE(player.QueuedSongStarted());
        EXPECT_EQ(player.StreamId(), first) << "the queued song plays in the same stream";
    }
    {
        SCOPED_TRACE("taken in by the output ahead of the sound: reported when heard");
        EXPECT_TRUE(player.Queue("b2.mp3"));
        const auto fired = std::chrono::steady_clock::now();
        lib.FireNext(100, 150);
        EXPECT_FALSE(player.QueuedSongStarted());
        EXPECT_EQ(player.FileName(), "b.mp3");
        ASSERT_TRUE(WaitUntil([&] { return player.QueuedSongStarted(); })) << "never reported";
        EXPECT_GE(std::chrono::steady_clock::now() - fired, std::chrono::milliseconds(150));
        EXPECT_EQ(player.FileName(), "b2.mp3");
    }
    {
        SCOPED_TRACE("a call-off forgets the song");
        lib.Calls.clear();
        EXPECT_TRUE(player.Queue("c.mp3"));
        EXPECT_TRUE(player.Queue(""));
        EXPECT_EQ(lib.Calls, (Calls{"Queue(100,c.mp3)", "Queue(100,)"}));
        EXPECT_EQ(player.QueuedFileName(), "");
        lib.FireNext(100);
        EXPECT_FALSE(player.QueuedSongStarted());
        EXPECT_EQ(player.FileName(), "b2.mp3");
        lib.Calls.clear();
        EXPECT_FALSE(player.Queue("")) << "nothing to call off";
        EXPECT_TRUE(lib.Calls.empty());
    }
    {
        SCOPED_TRACE("refused by the library: nothing is queued, or the queued song stays");
        lib.QueueResult = false;
        EXPECT_FALSE(player.Queue("d.mp3"));
        EXPECT_EQ(player.QueuedFileName(), "");
        lib.QueueResult = true;
        EXPECT_TRUE(player.Queue("d.mp3"));
        lib.QueueResult = false;  // already on its way
        EXPECT_FALSE(player.Queue(""));
        EXPECT_EQ(player.QueuedFileName(), "d.mp3");
        lib.QueueResult = true;
    }
    {
        SCOPED_TRACE("Play drops the queue; a late handler of the old stream is ignored");
        lib.FireNext(100);
        player.Play("e.mp3");
        EXPECT_EQ(player.QueuedFileName(), "");
        EXPECT_FALSE(player.QueuedSongStarted());
        EXPECT_EQ(player.FileName(), "e.mp3");
        lib.Calls.clear();
        EXPECT_TRUE(player.Queue("f.mp3"));
        EXPECT_EQ(lib.Calls, Calls{"Queue(101,f.mp3)"});
        lib.FireNext(100);
        EXPECT_FALSE(player.QueuedSongStarted());
        EXPECT_EQ(player.QueuedFileName(), "f.mp3");
        lib.FireNext(101);
        EXPECT_TRUE(player.QueuedSongStarted()) << "the new stream's own handler was not set";
        EXPECT_EQ(player.FileName(), "f.mp3");
        EXPECT_TRUE(player.Queue("g.mp3"));
    }
    {
        SCOPED_TRACE("the end is still reported; Stop drops the queue");
        lib.FireEnd(101);
        EXPECT_EQ(ended, std::vector<TPlayer*>{&player});
        player.Stop();
        EXPECT_EQ(player.QueuedFileName(), "");
        lib.FireNext(101);
        EXPECT_FALSE(player.QueuedSongStarted());
        EXPECT_EQ(player.FileName(), "f.mp3");
    }
}

TEST(Player, PositionSeekAndVolumeActOnTheSongHeard) {
    TRecordingAudioBackend lib;
    lib.Streams = {"a.mp3", "b.mp3"};
    lib.Position = 5'000'000;
    lib.Length = 40'000'000;
    TPlayer player(lib);
    {
        SCOPED_TRACE("nothing plays: nothing to ask or move, the volume kept for later");
        EXPECT_EQ(player.Position(), -1);
        EXPECT_EQ(player.Length(), -1);
        EXPECT_FALSE(player.Seek(1'000'000));
        player.SetVolume(40.0f);
        EXPECT_TRUE(lib.Calls.empty()) << lib.Calls.front();
    }
    player.Play("a.mp3");
    EXPECT_EQ(lib.Calls, (Calls{"Open(a.mp3)", "SetVolume(100,40)", "Play(100)"}))
        << "the new song did not take the volume before it began";
    lib.Calls.clear();
    EXPECT_EQ(player.Position(), 5'000'000);
    EXPECT_EQ(player.Length(), 40'000'000);
    EXPECT_TRUE(player.Seek(30'000'000));
    EXPECT_EQ(player.Position(), 30'000'000);
    EXPECT_FALSE(player.Seek(-1)) << "before the start";
    lib.SeekResult = false;
    EXPECT_FALSE(player.Seek(2'000'000)) << "refused by the library";
    EXPECT_EQ(Unordered(lib.Calls), Unordered({"Position(100)", "Length(100)", "Seek(100,30000000)",
                                               "Position(100)", "Seek(100,2000000)"}))
        << "asked another stream, or a move before the start reached the library";

    lib.Calls.clear();
    player.SetVolume(50.0f);
    player.SetVolume(130.0f);
    player.SetVolume(-3.0f);
    // In this order: the last volume set is the one heard.
    EXPECT_EQ(lib.Calls, (Calls{"SetVolume(100,50)", "SetVolume(100,100)", "SetVolume(100,0)"}));
    player.SetVolume(50.0f);
    lib.Calls.clear();
    player.Play("b.mp3");
    EXPECT_EQ(player.Volume(), 50.0f) << "the volume stays for the next song";
    EXPECT_EQ(Unordered(lib.Calls),
              Unordered({"Close(100)", "Open(b.mp3)", "SetVolume(101,50)", "Play(101)"}));
    EXPECT_TRUE(CalledBefore(lib.Calls, "SetVolume(101,50)", "Play(101)"))
        << "the next song did not take the volume before it began";
    player.Stop();
    EXPECT_EQ(player.Position(), -1);
}
