#include "audio/Player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/RecordingAudioBackend.h"

using namespace tunrax;
using tunrax::test::TRecordingAudioBackend;

namespace {

using Calls = std::vector<std::string>;

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

}  // namespace

TEST(Player, InitChecksTheLibraryVersion) {
    struct Case {
        uint32_t version;
        bool message;
    } cases[] = {{0x02040000, false}, {0x0204FFFF, false}, {0x02030000, true},
                 {0x01000000, true},  {0, true},           {0x02050000, true}};
    int window = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        TRecordingAudioBackend lib;
        lib.Version = c.version;
        lib.InitResult = false;  // ignored either way
        TPlayer player(lib);
        std::vector<std::string> messages;
        player.OnError = [&](const std::string& text, const std::string& title) {
            messages.push_back(title + ": " + text);
        };
        player.Init(&window);
        EXPECT_EQ(lib.Calls, (Calls{"GetVersion()", "Init(-1,44100,0,ptr,null)"}));
        EXPECT_EQ(lib.LastWindow, &window);
        EXPECT_EQ(messages, c.message ? std::vector<std::string>{"Fehler: Bass 2.3 nicht gefunden"}
                                      : std::vector<std::string>{});
    }
    SCOPED_TRACE("no handler");
    TRecordingAudioBackend lib;
    lib.Version = 0;
    TPlayer player(lib);
    player.Init(nullptr);
    EXPECT_EQ(lib.Calls.size(), 2u);
}

TEST(Player, PlayOpensAsStreamThenAsModule) {
    {
        SCOPED_TRACE("empty name does nothing, not even Stop");
        TRecordingAudioBackend lib;
        TPlayer player(lib);
        Events events;
        events.Attach(player);
        player.FileName = "before.mp3";
        player.Play("");
        EXPECT_TRUE(lib.Calls.empty());
        EXPECT_EQ(player.FileName, "before.mp3");
        EXPECT_TRUE(events.Seen.empty());
    }
    struct FlagCase {
        const char* name;
        const char* flags;
    } flagCases[] = {{"x.MP3", "0x20000"},      {"/m/a.mp2", "0x20000"}, {"/m/b.Mp1", "0x20000"},
                     {"x.ogg", "0x0"},          {"/m/c.mp3.wav", "0x0"}, {"/m/d.mp3/song", "0x0"},
                     {"/m/noextension", "0x0"}, {"/m/e.mp4", "0x0"}};
    for (const FlagCase& c : flagCases) {
        SCOPED_TRACE(c.name);
        TRecordingAudioBackend lib;
        lib.Streams = {c.name};
        TPlayer player(lib);
        Events events;
        events.Attach(player);
        player.Play(c.name);
        const std::string open =
            std::string("StreamCreateFile(0,") + c.name + ",0,0," + c.flags + ")";
        EXPECT_EQ(lib.Calls, (Calls{"ChannelStop(0)", "StreamFree(0)", open,
                                    "ChannelSetAttribute(100,2,100)", "ChannelPlay(100,1)"}));
        EXPECT_EQ(player.Channel, 100u);
        EXPECT_EQ(player.FileName, c.name);
        EXPECT_EQ(events.Seen, (std::vector<std::string>{"play", "songchange"}));
        EXPECT_EQ(player.SyncHandle, 0u);
    }
    {
        SCOPED_TRACE("refused as stream, taken as module");
        TRecordingAudioBackend lib;
        lib.Musics = {"song.mod"};
        TPlayer player(lib);
        Events events;
        events.Attach(player);
        player.Play("song.mod");
        EXPECT_EQ(lib.Calls,
                  (Calls{"ChannelStop(0)", "StreamFree(0)", "StreamCreateFile(0,song.mod,0,0,0x0)",
                         "MusicLoad(0,song.mod,0,0,0x20200,0)", "ChannelSetAttribute(100,2,100)",
                         "ChannelPlay(100,1)"}));
        EXPECT_EQ(events.Seen, (std::vector<std::string>{"play", "songchange"}));
    }
    {
        SCOPED_TRACE("refused both ways: no channel, no notification, reads stopped");
        TRecordingAudioBackend lib;
        TPlayer player(lib);
        Events events;
        events.Attach(player);
        player.Play("bad.mp3");
        EXPECT_EQ(lib.Calls, (Calls{"ChannelStop(0)", "StreamFree(0)",
                                    "StreamCreateFile(0,bad.mp3,0,0,0x20000)",
                                    "MusicLoad(0,bad.mp3,0,0,0x20200,0)",
                                    "ChannelSetAttribute(0,2,100)", "ChannelPlay(0,1)"}));
        EXPECT_EQ(player.Channel, 0u);
        EXPECT_EQ(player.FileName, "bad.mp3");
        EXPECT_TRUE(events.Seen.empty());
        lib.Activity = kActiveStopped;
        EXPECT_EQ(player.State(), psStopped);
    }
    {
        SCOPED_TRACE("the next Play stops and frees the previous channel");
        TRecordingAudioBackend lib;
        lib.Streams = {"a.mp3", "b.mp3"};
        TPlayer player(lib);
        player.Play("a.mp3");
        lib.Calls.clear();
        player.Play("b.mp3");
        ASSERT_GE(lib.Calls.size(), 3u);
        EXPECT_EQ(lib.Calls[0], "ChannelStop(100)");
        EXPECT_EQ(lib.Calls[1], "StreamFree(100)");
        EXPECT_EQ(player.Channel, 101u);
    }
}

TEST(Player, EndSyncOnlyWithHandler) {
    TRecordingAudioBackend lib;
    lib.Streams = {"a.mp3", "b.mp3"};
    TPlayer player(lib);
    std::vector<TPlayer*> ended;
    player.OnEnd = [&](TPlayer* sender) { ended.push_back(sender); };
    player.Play("a.mp3");
    EXPECT_EQ(lib.Calls,
              (Calls{"ChannelStop(0)", "StreamFree(0)", "StreamCreateFile(0,a.mp3,0,0,0x20000)",
                     "ChannelSetSync(100,2,0,1,ptr)", "ChannelSetAttribute(100,2,100)",
                     "ChannelPlay(100,1)"}));
    EXPECT_EQ(lib.LastSyncUser, &player);
    EXPECT_EQ(player.SyncHandle, 500u);
    lib.FireEnd(player.Channel);
    EXPECT_EQ(ended, std::vector<TPlayer*>{&player});

    player.Stop();
    EXPECT_EQ(player.SyncHandle, 0u);
    player.OnEnd = nullptr;
    lib.Calls.clear();
    player.Play("b.mp3");
    for (const std::string& call : lib.Calls)
        EXPECT_EQ(call.find("ChannelSetSync"), std::string::npos) << call;
}

TEST(Player, StopPauseResumeStateAndFree) {
    TRecordingAudioBackend lib;
    lib.Streams = {"a.mp3"};
    {
        TPlayer player(lib);
        Events events;
        events.Attach(player);
        player.Play("a.mp3");
        lib.Calls.clear();
        events.Seen.clear();

        player.Pause();
        player.Resume();
        EXPECT_EQ(lib.Calls, (Calls{"ChannelPause(100)", "ChannelPlay(100,0)"}));
        EXPECT_EQ(events.Seen, (std::vector<std::string>{"pause", "resume"}));

        const std::pair<uint32_t, TPlayerState> states[] = {{kActiveStopped, psStopped},
                                                            {kActivePlaying, psPlaying},
                                                            {kActiveStalled, psStalled},
                                                            {kActivePaused, psPaused},
                                                            {4, psStopped},
                                                            {7, psStopped},
                                                            {0xFFFFFFFF, psStopped}};
        for (const auto& [code, state] : states) {
            SCOPED_TRACE(code);
            lib.Activity = code;
            lib.Calls.clear();
            EXPECT_EQ(player.State(), state);
            EXPECT_EQ(lib.Calls, Calls{"ChannelIsActive(100)"});
        }

        lib.Calls.clear();
        player.Stop();
        EXPECT_EQ(lib.Calls, (Calls{"ChannelStop(100)", "StreamFree(100)"}));
        EXPECT_EQ(player.Channel, 0u);
        EXPECT_EQ(events.Seen.size(), 2u);  // Stop raises nothing

        lib.Calls.clear();
        player.Pause();  // with no channel: still called, on handle 0
        EXPECT_EQ(lib.Calls, Calls{"ChannelPause(0)"});
        lib.Calls.clear();
    }
    EXPECT_EQ(lib.Calls, Calls{"Free()"});
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
    lib.Calls.clear();
    events.Seen.clear();
    {
        SCOPED_TRACE("queued, not yet audible");
        EXPECT_TRUE(player.Queue("b.mp3"));
        EXPECT_EQ(lib.Calls,
                  (Calls{"ChannelSetSync(100,256,0,1,ptr)", "ChannelQueueNext(100,b.mp3)"}));
        EXPECT_EQ(lib.LastNextUser, &player);
        EXPECT_EQ(player.QueuedFileName(), "b.mp3");
        EXPECT_FALSE(player.QueuedSongStarted());
        EXPECT_EQ(player.FileName, "a.mp3");
    }
    {
        SCOPED_TRACE("audible: reported once, from the poll, with the new name");
        lib.FireNext(100);
        EXPECT_TRUE(events.Seen.empty()) << "nothing is raised on the library's thread";
        EXPECT_TRUE(player.QueuedSongStarted());
        EXPECT_EQ(player.FileName, "b.mp3");
        EXPECT_EQ(player.QueuedFileName(), "");
        EXPECT_EQ(events.Seen, std::vector<std::string>{"songchange"});
        EXPECT_FALSE(player.QueuedSongStarted());
        EXPECT_EQ(player.Channel, 100u);
    }
    {
        SCOPED_TRACE("taken in by the output ahead of the sound: reported when heard");
        EXPECT_TRUE(player.Queue("b2.mp3"));
        const auto fired = std::chrono::steady_clock::now();
        lib.FireNext(100, 150);
        EXPECT_FALSE(player.QueuedSongStarted());
        EXPECT_EQ(player.FileName, "b.mp3");
        while (!player.QueuedSongStarted() &&
               std::chrono::steady_clock::now() - fired < std::chrono::seconds(1))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_GE(std::chrono::steady_clock::now() - fired, std::chrono::milliseconds(150));
        EXPECT_EQ(player.FileName, "b2.mp3");
    }
    {
        SCOPED_TRACE("the next queue reuses the sync; a call-off forgets the song");
        lib.Calls.clear();
        EXPECT_TRUE(player.Queue("c.mp3"));
        EXPECT_TRUE(player.Queue(""));
        EXPECT_EQ(lib.Calls, (Calls{"ChannelQueueNext(100,c.mp3)", "ChannelQueueNext(100,)"}));
        EXPECT_EQ(player.QueuedFileName(), "");
        lib.FireNext(100);
        EXPECT_FALSE(player.QueuedSongStarted());
        EXPECT_EQ(player.FileName, "b2.mp3");
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
        SCOPED_TRACE("Play drops the queue; a late sync of the old channel is ignored");
        lib.FireNext(100);
        player.Play("e.mp3");
        EXPECT_EQ(player.QueuedFileName(), "");
        EXPECT_FALSE(player.QueuedSongStarted());
        EXPECT_EQ(player.FileName, "e.mp3");
        lib.Calls.clear();
        EXPECT_TRUE(player.Queue("f.mp3"));
        EXPECT_EQ(lib.Calls,
                  (Calls{"ChannelSetSync(101,256,0,1,ptr)", "ChannelQueueNext(101,f.mp3)"}))
            << "a new channel needs its own sync";
        lib.FireNext(100);
        EXPECT_FALSE(player.QueuedSongStarted());
        EXPECT_EQ(player.QueuedFileName(), "f.mp3");
    }
    {
        SCOPED_TRACE("the end is still reported; Stop drops the queue");
        lib.FireEnd(101);
        EXPECT_EQ(ended, std::vector<TPlayer*>{&player});
        player.Stop();
        EXPECT_EQ(player.QueuedFileName(), "");
        lib.FireNext(101);
        EXPECT_FALSE(player.QueuedSongStarted());
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
    EXPECT_NE(std::find(lib.Calls.begin(), lib.Calls.end(), "ChannelSetAttribute(100,2,40)"),
              lib.Calls.end())
        << "the new song took the volume";
    lib.Calls.clear();
    EXPECT_EQ(player.Position(), 5'000'000);
    EXPECT_EQ(player.Length(), 40'000'000);
    EXPECT_TRUE(player.Seek(30'000'000));
    EXPECT_EQ(player.Position(), 30'000'000);
    EXPECT_FALSE(player.Seek(-1)) << "before the start";
    lib.SeekResult = false;
    EXPECT_FALSE(player.Seek(2'000'000)) << "refused by the library";
    EXPECT_EQ(lib.Calls, (Calls{"ChannelGetPosition(100)", "ChannelGetLength(100)",
                                "ChannelSetPosition(100,30000000)", "ChannelGetPosition(100)",
                                "ChannelSetPosition(100,2000000)"}));

    lib.Calls.clear();
    player.SetVolume(50.0f);
    player.SetVolume(130.0f);
    player.SetVolume(-3.0f);
    EXPECT_EQ(lib.Calls, (Calls{"ChannelSetAttribute(100,2,50)", "ChannelSetAttribute(100,2,100)",
                                "ChannelSetAttribute(100,2,0)"}));
    player.SetVolume(50.0f);
    player.Play("b.mp3");
    EXPECT_EQ(player.Volume, 50.0f) << "the volume stays for the next song";
    player.Stop();
    EXPECT_EQ(player.Position(), -1);
}
