// Fetching the next song in the background while one plays: the sequencer
// over a scripted source whose background copies the test holds back, lets
// finish or fails, and the recording audio library.
#include "playback/Prefetch.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "io/Error.h"
#include "playback/SongSequencer.h"
#include "settings/TempFolder.h"
#include "sources/FtpSource.h"
#include "sources/TransferControl.h"
#include "support/PlayLog.h"
#include "support/ScriptedSource.h"
#include "support/Servers.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"

using namespace tunrax;
using namespace tunrax::test;
using namespace std::chrono_literals;

namespace {

using Names = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

// Records what the window would show.
class QuietView : public TPlaybackView {
public:
    Names Seen;

    void ShowSongStarting(const std::string& caption) override {
        Seen.push_back("caption " + caption);
    }
    void ShowSongInfo(const TSongTags&) override { Seen.push_back("info"); }
    void ShowNoSong() override { Seen.push_back("no song"); }
    void ShowStatus(TPlaybackStatus status) override {
        Seen.push_back(status == TPlaybackStatus::Playing ? "icon on" : "icon off");
    }
    void ShowSelection(int row) override { Seen.push_back("select " + std::to_string(row)); }
};

// What the background copies of the source did; shared with their thread.
struct Background {
    std::mutex lock;
    Names fetched;
    std::atomic<bool> release{false};
    std::atomic<bool> fail{false};
    std::atomic<int> ended{0};

    Names Fetched() {
        std::lock_guard<std::mutex> guard(lock);
        return fetched;
    }
};

// A background copy: waits, as a slow server does, until released or called
// off, then delivers the song or fails half-way.
class HeldSource : public ScriptedSource {
public:
    explicit HeldSource(Background& state) : FState(state) {}
    ~HeldSource() override { ++FState.ended; }

    void GetFile(std::ostream& dest, const std::string& path) override {
        {
            std::lock_guard<std::mutex> guard(FState.lock);
            FState.fetched.push_back(path);
        }
        TTransferWatch watch("\"" + path + "\"");
        // Looks at the release, and through the watch at a call-off, as a
        // transfer looks between its slices.
        while (!FState.release.load()) {
            watch.Check();
            std::this_thread::sleep_for(2ms);
        }
        if (FState.fail.load())
            FailAfterBytes = 3;
        ScriptedSource::GetFile(dest, path);
    }

private:
    Background& FState;
};

class PrefetchTest : public ::testing::Test {
protected:
    PrefetchTest() {
        Names files{"01-Eins.mp3", "02-Zwei.mp3", "03-Drei.mp3"};
        songs.Fill(files, "\\Album\\");
        source.Clone = [this] { return std::make_unique<HeldSource>(background); };
        sequencer = std::make_unique<TSongSequencer>(player, songs, view, [this](const auto& use) {
            use(source);
            return true;
        });
    }

    void Ticks(int count) {
        for (int i = 0; i < count; ++i)
            sequencer->Tick();
    }
    // Chooses a song as the window does and starts it; the next tick asks
    // the player.
    void Choose(int row) {
        songs.Select(row);
        sequencer->SongChosen();
        Ticks(3);
    }
    // The playing song ends; the next one is selected and starts.
    void EndSongAndGoOn() {
        library.Activity = TStreamState::Stopped;
        Ticks(4);
    }
    Names TempFiles() const { return FolderEntries(GetTempFolder()); }
    // Records what the player is told (its polls left out), and lets a row
    // the sequencer selects count as chosen, as the window's list does.
    Names& PlayerEventsWithSelections() {
        library.OnEvent = [this](const std::string& event) {
            if (event != "poll")
                FPlayerEvents.push_back(event);
        };
        return FPlayerEvents;
    }
    Names FPlayerEvents;
    std::string Played() const { return ReadFile(TempFileName()); }

    const std::string eins = "\\Album\\01-Eins.mp3";
    const std::string zwei = "\\Album\\02-Zwei.mp3";
    const std::string drei = "\\Album\\03-Drei.mp3";
    TempDir tmp;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", tmp.Path().c_str()};
    TPlayLog library;
    TPlayer player{library};
    TSongList songs;
    QuietView view;
    Background background;
    ScriptedSource source;
    std::unique_ptr<TSongSequencer> sequencer;
};

}  // namespace

TEST_F(PrefetchTest, ASongFetchedAheadPlaysWithoutASecondFetchAndNothingIsLeftAtTheEnd) {
    background.release = true;
    Choose(0);
    EXPECT_EQ(Played(), eins);
    ASSERT_EQ(sequencer->PrefetchPath(), zwei) << "the next song was not fetched ahead";
    ASSERT_TRUE(WaitUntil([&] { return sequencer->PrefetchComplete(); }));
    EXPECT_EQ(TempFiles(), (Names{"tunrax-naechstes.mp3", "tunrax.mp3"}))
        << "no part file once whole";
    EXPECT_EQ(ReadFile(PrefetchFileName()), zwei);

    EndSongAndGoOn();
    EXPECT_EQ(songs.Selected(), 1);
    EXPECT_EQ(Played(), zwei);
    EXPECT_EQ(source.Fetched, Names{eins}) << "the song fetched ahead was fetched again";
    EXPECT_EQ(sequencer->PrefetchPath(), drei);
    ASSERT_TRUE(WaitUntil([&] { return sequencer->PrefetchComplete(); }));

    EndSongAndGoOn();
    EXPECT_EQ(Played(), drei);
    EXPECT_EQ(sequencer->PrefetchPath(), "") << "the last song has no successor";
    EXPECT_EQ(background.Fetched(), (Names{zwei, drei}));
    EXPECT_EQ(source.Fetched, Names{eins});

    library.Activity = TStreamState::Stopped;
    Ticks(1);
    EXPECT_EQ(TempFiles(), Names{}) << "files left at the list's end";
}

TEST_F(PrefetchTest, ASongNotFetchedWholeInTimeIsFetchedAsUsualWithoutWaiting) {
    Choose(0);
    ASSERT_TRUE(WaitUntil([&] { return background.Fetched() == Names{zwei}; }));

    // The server is slow: the song's turn comes while its prefetch hangs.
    library.Activity = TStreamState::Stopped;
    Ticks(2);
    EXPECT_EQ(sequencer->PrefetchPath(), zwei) << "going on to the song fetched ahead dropped it";
    const auto start = Clock::now();
    Ticks(1);
    EXPECT_LT(Clock::now() - start, 100ms) << "the start waited for the prefetch";
    Ticks(1);
    EXPECT_EQ(Played(), zwei);
    EXPECT_EQ(source.Fetched, (Names{eins, zwei}));
    EXPECT_EQ(background.ended.load(), 1) << "the hanging prefetch was not ended";

    // The list ends while the song after it is still on its way.
    EXPECT_EQ(sequencer->PrefetchPath(), drei);
    EndSongAndGoOn();
    EXPECT_EQ(Played(), drei);
    EXPECT_EQ(source.Fetched, (Names{eins, zwei, drei}));
    library.Activity = TStreamState::Stopped;
    Ticks(1);
    EXPECT_EQ(TempFiles(), Names{});
}

TEST_F(PrefetchTest, ChoosingAnotherSongChangingTheListOrCallingItOffDeletesThePrefetch) {
    background.release = true;
    Choose(0);
    ASSERT_TRUE(WaitUntil([&] { return sequencer->PrefetchComplete(); }));

    // The user chooses the very song fetched ahead: it is used.
    Choose(1);
    EXPECT_EQ(Played(), zwei);
    EXPECT_EQ(source.Fetched, Names{eins});

    // Another song: the prefetch of Drei goes.
    ASSERT_TRUE(WaitUntil([&] { return sequencer->PrefetchComplete(); }));
    songs.Select(0);
    sequencer->SongChosen();
    EXPECT_EQ(sequencer->PrefetchPath(), "");
    EXPECT_EQ(TempFiles(), Names{"tunrax.mp3"});

    // A list change ends a hanging prefetch at once.
    background.release = false;
    Ticks(3);
    ASSERT_TRUE(WaitUntil([&] { return background.Fetched().size() == 3; }));
    auto start = Clock::now();
    Names other{"x.mp3"};
    songs.Fill(other, "\\Anders\\");
    EXPECT_LT(Clock::now() - start, 100ms);
    EXPECT_EQ(sequencer->PrefetchPath(), "");
    EXPECT_EQ(TempFiles(), Names{"tunrax.mp3"}) << "the part file stayed";

    // Called off from outside (no songs to start, another source).
    songs.Fill(other = {"01-Eins.mp3", "02-Zwei.mp3"}, "\\Album\\");
    background.release = true;
    Choose(0);
    ASSERT_TRUE(WaitUntil([&] { return sequencer->PrefetchComplete(); }));
    sequencer->CancelPrefetch();
    EXPECT_EQ(TempFiles(), Names{"tunrax.mp3"});

    // The sequencer's end ends a hanging prefetch and takes its files along.
    background.release = false;
    Choose(0);
    ASSERT_TRUE(WaitUntil([&] { return background.Fetched().size() == 5; }));
    start = Clock::now();
    sequencer.reset();
    EXPECT_LT(Clock::now() - start, 100ms);
    EXPECT_EQ(TempFiles(), Names{"tunrax.mp3"});
    EXPECT_EQ(background.ended.load(), 5);
}

TEST_F(PrefetchTest, AFailedPrefetchLeavesNoFileAndTheSongIsFetchedAsUsual) {
    background.fail = true;
    background.release = true;
    Choose(0);
    ASSERT_TRUE(WaitUntil([&] { return background.ended.load() == 1; }));
    EXPECT_FALSE(sequencer->PrefetchComplete());
    EXPECT_EQ(TempFiles(), Names{"tunrax.mp3"});

    EndSongAndGoOn();
    EXPECT_EQ(Played(), zwei);
    EXPECT_EQ(source.Fetched, (Names{eins, zwei}));
}

// The song fetched ahead is queued in the player; when the player says it is
// heard, the list moves on as if it had been started, without starting it.
TEST_F(PrefetchTest, ASongFetchedAheadFollowsInThePlayerAndTheListMovesOnWhenItIsHeard) {
    Names& events = PlayerEventsWithSelections();
    background.release = true;
    Choose(0);
    ASSERT_TRUE(WaitUntil([&] { return sequencer->PrefetchComplete(); }));
    events.clear();
    Ticks(2);
    EXPECT_EQ(events, Names{"queue " + zwei}) << "the whole song was not queued, or twice";
    EXPECT_EQ(player.QueuedFileName(), PrefetchFileName());
    EXPECT_EQ(Played(), eins) << "the playing song's file was replaced";

    // Heard: selection, caption, labels and serial change at this tick.
    view.Seen.clear();
    events.clear();
    background.release = false;  // Drei is not queued before the checks below
    library.FireNext(library.LastStream());
    Ticks(1);
    EXPECT_EQ(view.Seen, (Names{"select 1", "caption Zwei", "info", "icon on"}));
    EXPECT_EQ(songs.Selected(), 1);
    EXPECT_EQ(sequencer->Serial(), 2);
    EXPECT_EQ(sequencer->SongCaption(), "Zwei");
    EXPECT_EQ(Played(), zwei) << "the song heard is not the one that plays";
    EXPECT_EQ(sequencer->PrefetchPath(), drei) << "the song after it was not fetched ahead";
    EXPECT_EQ(sequencer->TickCount(), 3);
    Ticks(4);
    EXPECT_EQ(events, Names{}) << "the song heard was started again";
    EXPECT_EQ(source.Fetched, Names{eins});

    // The last song follows the same way; the list's end leaves no file.
    background.release = true;
    ASSERT_TRUE(WaitUntil([&] { return sequencer->PrefetchComplete(); }));
    Ticks(1);
    EXPECT_EQ(events, Names{"queue " + drei});
    EXPECT_EQ(TempFiles(), (Names{"tunrax-naechstes.mp3", "tunrax.mp3"}));
    library.FireNext(library.LastStream());
    Ticks(1);
    EXPECT_EQ(songs.Selected(), 2);
    EXPECT_EQ(sequencer->Serial(), 3);
    EXPECT_EQ(TempFiles(), Names{"tunrax.mp3"}) << "the finished song's file stayed";
    EXPECT_EQ(sequencer->PrefetchPath(), "");
    view.Seen.clear();
    library.Activity = TStreamState::Stopped;
    Ticks(1);
    EXPECT_EQ(view.Seen, (Names{"no song", "icon off"}));
    EXPECT_EQ(TempFiles(), Names{}) << "files left at the list's end";
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const std::string& e) { return e.rfind("play", 0) == 0; }),
              0);
}

TEST_F(PrefetchTest, ARefusedQueueOrAChangedPlanLeavesTheSongToTheOrdinaryStart) {
    Names& events = PlayerEventsWithSelections();
    background.release = true;

    // Too late for the player: asked once, then the song starts as usual.
    library.QueueResult = false;
    Choose(0);
    ASSERT_TRUE(WaitUntil([&] { return sequencer->PrefetchComplete(); }));
    events.clear();
    Ticks(3);
    EXPECT_EQ(events, Names{"queue " + zwei});
    events.clear();
    background.release = false;
    EndSongAndGoOn();
    EXPECT_EQ(events, Names{"play " + zwei});
    EXPECT_EQ(sequencer->Serial(), 2);
    EXPECT_EQ(source.Fetched, Names{eins});
    background.release = true;

    // The user chooses a song while the next one is queued: called off.
    library.QueueResult = true;
    ASSERT_TRUE(WaitUntil([&] { return sequencer->PrefetchComplete(); }));
    Ticks(1);
    ASSERT_EQ(player.QueuedFileName(), PrefetchFileName());
    events.clear();
    songs.Select(0);
    sequencer->SongChosen();
    EXPECT_EQ(events, Names{"queue "}) << "the queued song was not called off";
    EXPECT_EQ(player.QueuedFileName(), "");
    library.FireNext(library.LastStream());
    Ticks(2);
    EXPECT_EQ(events, (Names{"queue ", "play " + eins})) << "the user's choice did not start";
    EXPECT_EQ(songs.Selected(), 0);

    // A change of the list, and calling off from outside, do the same.
    ASSERT_TRUE(WaitUntil([&] { return sequencer->PrefetchComplete(); }));
    Ticks(2);
    ASSERT_EQ(player.QueuedFileName(), PrefetchFileName());
    events.clear();
    Names other{"01-Eins.mp3", "02-Zwei.mp3", "04-Vier.mp3"};
    songs.Fill(other, "\\Album\\");
    EXPECT_EQ(events, Names{"queue "});
    songs.Select(0);
    sequencer->SongChosen();
    Ticks(2);
    ASSERT_TRUE(WaitUntil([&] { return sequencer->PrefetchComplete(); }));
    Ticks(2);
    ASSERT_EQ(player.QueuedFileName(), PrefetchFileName());
    events.clear();
    sequencer->CancelPrefetch();
    EXPECT_EQ(events, Names{"queue "});
    EXPECT_EQ(TempFiles(), Names{"tunrax.mp3"});
}

namespace {

// pyftpdlib for the folder argv[2] on port argv[1], sending at most argv[3]
// bytes a second when given.
const char* const kFtpServer = R"(
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

authorizer = DummyAuthorizer()
authorizer.add_user("leser", "", sys.argv[2], perm="elr")
FTPHandler.authorizer = authorizer
if len(sys.argv) > 3:
    ThrottledDTPHandler.write_limit = int(sys.argv[3])
    FTPHandler.dtp_handler = ThrottledDTPHandler
FTPServer(("127.0.0.1", int(sys.argv[1])), FTPHandler).serve_forever()
)";

int64_t SizeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

}  // namespace

TEST(PrefetchOverFtp, AServerThatDiesDuringThePrefetchLeavesNoFileAndTheSongStillPlays) {
    TempDir tmp;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", tmp.Path().c_str()};
    const std::string zwei(1 << 20, 'z');
    WriteFile(tmp / "ftp/mp3/Album/01-Eins.mp3", "eins");
    WriteFile(tmp / "ftp/mp3/Album/02-Zwei.mp3", zwei);
    WriteFile(tmp / "server.py", kFtpServer);
    const int port = FreePort();
    auto server = std::make_unique<ServerProcess>();
    // 1 MB at 64 KB/s: the prefetch is still under way when the server dies.
    server->Start(
        {"/usr/bin/python3", tmp / "server.py", std::to_string(port), tmp / "ftp", "65536"}, port);
    TFtpSource source(false, "127.0.0.1:" + std::to_string(port), "leser", "", "/mp3/", false,
                      std::chrono::milliseconds(5000));

    TPlayLog library;
    TPlayer player{library};
    TSongList songs;
    Names files{"01-Eins.mp3", "02-Zwei.mp3"};
    songs.Fill(files, "\\Album\\");
    QuietView view;
    TSongSequencer sequencer(player, songs, view, [&](const auto& use) {
        use(source);
        return true;
    });
    songs.Select(0);
    sequencer.SongChosen();
    for (int i = 0; i < 3; ++i)
        sequencer.Tick();
    EXPECT_EQ(ReadFile(TempFileName()), "eins");
    const std::string part = PrefetchFileName() + ".part";
    ASSERT_TRUE(WaitUntil([&] { return SizeOf(part) > 0; })) << "no prefetch under way";

    ::kill(server->Pid(), SIGKILL);
    server->Stop();
    EXPECT_TRUE(WaitUntil([&] { return FolderEntries(GetTempFolder()) == Names{"tunrax.mp3"}; }))
        << "the broken prefetch left a file";
    EXPECT_FALSE(sequencer.PrefetchComplete());

    // The server is back: the song is fetched the ordinary way and plays.
    server = std::make_unique<ServerProcess>();
    server->Start({"/usr/bin/python3", tmp / "server.py", std::to_string(port), tmp / "ftp"}, port);
    library.Activity = TStreamState::Stopped;
    for (int i = 0; i < 3; ++i)
        sequencer.Tick();
    EXPECT_EQ(songs.Selected(), 1);
    EXPECT_TRUE(ReadFile(TempFileName()) == zwei) << "the song after it did not play whole";
    EXPECT_EQ(FolderEntries(GetTempFolder()), Names{"tunrax.mp3"});
}
