// The silence between two songs of an album, heard at a PulseAudio null
// sink's monitor: the second song queued to follow the first, against the
// way without a queue in the same run (the poll every 100 ms finds the first
// song ended, then the second is opened and started; the player's sequencing
// adds its own ticks and the fetch to that). Both songs are tones that run to
// their last sample. Needs a PulseAudio server with the test sink: run it
// under scripts/pulse-test-server.sh (bench/run.sh does).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "audio/Player.h"
#include "bench_support.h"
#include "gst/GstAudioBackend.h"
#include "support/Mp3Files.h"
#include "support/SoundCheck.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::bench;

namespace {

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Polls every `everyMs` until the player has stopped; the time at which it
// told that the queued song is heard, or 0.
double WaitForTheEnd(TPlayer& player, bool& overrun, int everyMs = 100) {
    const double until = NowMs() + 10000;
    double heard = 0;
    while (player.State() != TStreamState::Stopped) {
        if (NowMs() > until) {
            overrun = true;
            break;
        }
        if (player.QueuedSongStarted())
            heard = NowMs();
        Sleep(everyMs);
    }
    return heard;
}

// Plays both songs and returns the recorded signal's longest inner silence.
template <typename Play>
test::TSignalShape Heard(const std::string& recording, Play&& play) {
    test::TMonitorRecording parec(test::TestSinkMonitor(), recording);
    if (!parec.Started())
        throw std::runtime_error("cannot start parec");
    Sleep(300);
    play();
    Sleep(300);
    parec.Stop();
    return test::ShapeOf(test::ReadFile(recording));
}

}  // namespace

int main(int argc, char** argv) {
    return BenchMain(
        "gap_bench",
        [](int ac, char** av) {
            const int rounds = IntOption(ac, av, "rounds", 3);
            if (!test::PulseReachable()) {
                std::printf("  no PulseAudio server: run under scripts/pulse-test-server.sh\n");
                return 0;
            }
            ScratchFolder scratch("tunrax-gap-bench");
            const std::string one = scratch.Path() + "one.mp3";
            const std::string two = scratch.Path() + "two.mp3";
            if (!test::WriteToneMp3(one, 1.5, 440) || !test::WriteToneMp3(two, 1.5, 660)) {
                std::printf("  lame is missing: no songs to play\n");
                return 0;
            }
            const std::string recording = scratch.Path() + "heard.raw";
            auto library = CreateGStreamerBackend();
            TPlayer player(*library);
            player.Init();

            double queuedWorst = 0, plainBest = 1e300, queuedSound = 0, queueCallMs = 0;
            double toldEarliest = 1e300, toldLatest = 0;
            bool overrun = false, allQueued = true;
            for (int i = 0; i < rounds; ++i) {
                const test::TSignalShape queued = Heard(recording, [&] {
                    const double played = NowMs();
                    player.Play(one);
                    bool accepted = false;
                    queueCallMs =
                        std::max(queueCallMs, TimeMs([&] { accepted = player.Queue(two); }));
                    allQueued = accepted && allQueued;
                    const double told = WaitForTheEnd(player, overrun, 5) - played;
                    toldEarliest = std::min(toldEarliest, told);
                    toldLatest = std::max(toldLatest, told);
                });
                const test::TSignalShape plain = Heard(recording, [&] {
                    player.Play(one);
                    WaitForTheEnd(player, overrun);
                    player.Play(two);
                    WaitForTheEnd(player, overrun);
                });
                queuedWorst = std::max(queuedWorst, queued.LongestGapMs);
                queuedSound = queued.SoundMs;
                plainBest = std::min(plainBest, plain.LongestGapMs);
            }
            player.Stop();
            std::printf("  two tones of 1.5 s at the null sink, %d rounds%s%s\n", rounds,
                        allQueued ? "" : ", a queue was REFUSED",
                        overrun ? ", a song did NOT end" : "");
            std::printf(
                "     queued: worst gap          %7.1f ms   sound %6.0f ms   "
                "target < 5 ms: %s\n",
                queuedWorst, queuedSound, Verdict(queuedWorst < 5));
            std::printf("     without queue: best gap    %7.1f ms   (poll, open, start)\n",
                        plainBest);
            std::printf("     gap saved                  %7.1f ms\n", plainBest - queuedWorst);
            std::printf(
                "     second song told heard %4.0f..%4.0f ms after Play of the first "
                "(it lasts 1500 ms; polled every 5 ms)\n",
                toldEarliest, toldLatest);
            std::printf("     the queue call (checks the file), worst %5.1f ms\n", queueCallMs);
            return 0;
        },
        argc, argv);
}
