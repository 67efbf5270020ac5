#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <thread>

#include "audio/Player.h"
#include "gst/GstAudioBackend.h"
#include "support/Mp3Files.h"
#include "support/SoundCheck.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;
using Clock = std::chrono::steady_clock;

namespace {

const char* const kTimedSink = "fakesink sync=true";

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Lets real time go by on purpose: a pause that must hold, a position that
// must run on with the clock. Waiting for something to happen is WaitFor's.
void LetTimePass(std::chrono::milliseconds span) {
    std::this_thread::sleep_for(span);
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// A four-channel tracker module: one pattern that plays one note of a short
// square-wave sample.
std::string TinyModule() {
    std::string mod(20, '\0');  // title
    for (int i = 0; i < 31; ++i) {
        std::string sample(30, '\0');
        if (i == 0) {
            sample[23] = 100;  // 100 words long
            sample[25] = 64;   // full volume
            sample[29] = 1;    // no loop
        }
        mod += sample;
    }
    mod += '\x01';  // song length: one pattern
    mod += '\x7F';
    mod += std::string(128, '\0');  // order: pattern 0
    mod += "M.K.";
    std::string pattern(64 * 4 * 4, '\0');
    pattern[0] = '\x01';  // sample 1, period 428
    pattern[1] = '\xAC';
    pattern[2] = '\x10';
    mod += pattern;
    for (int i = 0; i < 200; ++i)
        mod += (i / 10) % 2 ? '\x60' : '\xA0';
    return mod;
}

}  // namespace

TEST(GstAudioBackend, PlaysPausesResumesAndEndsThroughThePlayer) {
    TempDir dir;
    const std::string song = dir / "Silent Song.mp3";
    WriteSilentMp3(song, 1.5);
    auto lib = CreateGStreamerBackend(kTimedSink);
    EXPECT_TRUE(lib->Start()) << "cannot play MP3 files";

    TPlayer player(*lib);
    std::string error;
    player.OnError = [&](const std::string& text, const std::string&) { error = text; };
    std::atomic<int> ends{0};
    player.OnEnd = [&](TPlayer*) { ++ends; };
    player.Init();
    EXPECT_EQ(error, "");

    const auto start = Clock::now();
    player.Play(song);
    ASSERT_NE(player.StreamId(), 0u);
    EXPECT_EQ(player.State(), TStreamState::Playing);
    ASSERT_TRUE(WaitFor([&] { return player.Position() > 200'000; }, std::chrono::seconds(3)))
        << "the song is not under way";
    player.Pause();
    EXPECT_EQ(player.State(), TStreamState::Paused);
    LetTimePass(std::chrono::milliseconds(600));
    EXPECT_EQ(player.State(), TStreamState::Paused);  // a pause holds the song
    player.Resume();
    EXPECT_EQ(player.State(), TStreamState::Playing);
    ASSERT_TRUE(
        WaitFor([&] { return player.State() == TStreamState::Stopped; }, std::chrono::seconds(4)));
    // 1.5 s of song plus 0.6 s of pause: it really played in real time.
    EXPECT_GT(Seconds(start), 1.9);
    EXPECT_EQ(ends.load(), 1);

    const uint32_t first = player.StreamId();
    player.Play(song);
    EXPECT_NE(player.StreamId(), 0u);
    EXPECT_NE(player.StreamId(), first);  // a stream of its own
    EXPECT_EQ(player.State(), TStreamState::Playing);
    player.Stop();
    EXPECT_EQ(player.State(), TStreamState::Stopped);
}

TEST(GstAudioBackend, StreamCalls) {
    TempDir dir;
    const std::string song = dir / "short.mp3";
    WriteSilentMp3(song, 0.4);
    auto lib = CreateGStreamerBackend(kTimedSink);
    EXPECT_EQ(lib->Open(song), nullptr) << "opened before Start";
    ASSERT_TRUE(lib->Start());

    std::unique_ptr<TAudioStream> stream = lib->Open(song);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->State(), TStreamState::Stopped) << "opened, not yet played";
    stream->SetVolume(100.0f);
    stream->SetVolume(250.0f);  // clamped
    EXPECT_FALSE(stream->Pause()) << "paused before it played";
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "first run" : "again after the end");
        ASSERT_TRUE(stream->Play());
        EXPECT_EQ(stream->State(), TStreamState::Playing);
        EXPECT_TRUE(WaitFor([&] { return stream->State() == TStreamState::Stopped; },
                            std::chrono::seconds(3)));
    }
    ASSERT_TRUE(stream->Play());
    stream->Stop();
    EXPECT_EQ(stream->State(), TStreamState::Stopped);
    stream.reset();

    SCOPED_TRACE("a stream the library let go");
    std::unique_ptr<TAudioStream> again = lib->Open(song);
    ASSERT_NE(again, nullptr);
    ASSERT_TRUE(again->Play());
    lib->Free();
    EXPECT_EQ(again->State(), TStreamState::Stopped);
    EXPECT_FALSE(again->Play());
    EXPECT_FALSE(again->Pause());
    EXPECT_FALSE(again->Resume());
    EXPECT_FALSE(again->Seek(0));
    EXPECT_EQ(again->Position(), -1);
    EXPECT_FALSE(again->Queue(song));
    EXPECT_EQ(lib->Open(song), nullptr) << "opened after Free";
    lib.reset();
    again.reset();  // outlives its library
}

TEST(GstAudioBackend, OpensOnlyWhatItCanDecode) {
    TempDir dir;
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "This is a plain text file and no audio at all.\n";
    WriteFile(dir / "text.mp3", text);
    WriteFile(dir / "empty.mp3", "");
    WriteSilentMp3(dir / "silent.mp3", 0.5);
    auto lib = CreateGStreamerBackend(kTimedSink);
    TPlayer player(*lib);
    player.Init();
    for (const char* name : {"text.mp3", "empty.mp3", "missing.mp3", ""}) {
        SCOPED_TRACE(name);
        const auto start = Clock::now();
        EXPECT_EQ(lib->Open(dir / name), nullptr);
        EXPECT_LT(Seconds(start), 1.5) << "refusing should not wait for the time-out";
        player.Play(dir / name);
        EXPECT_EQ(player.StreamId(), 0u);
        EXPECT_EQ(player.State(), TStreamState::Stopped);
    }
    SCOPED_TRACE("a module opens as a song does, and plays");
    WriteFile(dir / "tiny.mod", TinyModule());
    std::unique_ptr<TAudioStream> module = lib->Open(dir / "tiny.mod");
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(module->Play());
    EXPECT_EQ(module->State(), TStreamState::Playing);
    module->SetVolume(50.0f);
    EXPECT_NE(lib->Open(dir / "silent.mp3"), nullptr);
}

namespace {

// How much sound a monitor recording holds, in milliseconds.
double RecordedMs(const std::string& path) {
    std::error_code error;
    const auto bytes = std::filesystem::file_size(path, error);
    return error ? 0 : double(bytes) / (44100 * 4) * 1000;
}

// Waits until the recording has taken in another span of what the sink
// plays: once started, the silence before a song; after a song's end, the
// last of its sound. meanwhile runs at every look.
bool RecordOn(
    const std::string& path, std::chrono::milliseconds span,
    const std::function<void()>& meanwhile = [] {}) {
    const double until = RecordedMs(path) + double(span.count());
    return WaitFor(
        [&] {
            meanwhile();
            return RecordedMs(path) >= until;
        },
        std::chrono::seconds(5) + span);
}

}  // namespace

// The one test that proves sound comes out: a tone through the desktop's
// default output into a PulseAudio null sink, recorded from its monitor, and
// a second one queued after it, which the output plays on without a gap.
TEST(GstAudioBackend, ToneReachesTheSoundServer) {
    if (!PulseReachable())
        GTEST_SKIP() << "no PulseAudio server reachable (see scripts/pulse-test-server.sh)";
    TempDir dir;
    const std::string song = dir / "tone.mp3", next = dir / "next.mp3";
    if (!WriteToneMp3(song, 1.5, 440) || !WriteToneMp3(next, 1.0, 660))
        GTEST_SKIP() << "lame is not installed";
    const std::string recording = dir / "rec.raw";
    TMonitorRecording parec(TestSinkMonitor(), recording);
    ASSERT_TRUE(parec.Started()) << "cannot start parec";
    ASSERT_TRUE(RecordOn(recording, std::chrono::milliseconds(100))) << "parec records nothing";

    {
        auto lib = CreateGStreamerBackend();
        TPlayer player(*lib);
        player.Init();
        player.Play(song);
        EXPECT_NE(player.StreamId(), 0u);
        EXPECT_TRUE(player.Queue(next));
        EXPECT_TRUE(WaitFor([&] { return player.State() == TStreamState::Stopped; },
                            std::chrono::seconds(5)));
    }
    EXPECT_TRUE(RecordOn(recording, std::chrono::milliseconds(300)));
    parec.Stop();

    const std::string raw = ReadFile(recording);
    ASSERT_GT(raw.size(), 44100u * 4) << "less than a second recorded";
    // Loudest 100 ms window: the tone has an RMS near 11500, silence 0.
    const size_t window = 4410 * 2;
    double bestRms = 0;
    int peak = 0;
    std::vector<int16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    for (size_t begin = 0; begin + window <= samples.size(); begin += window) {
        double sum = 0;
        for (size_t i = begin; i < begin + window; ++i) {
            sum += double(samples[i]) * samples[i];
            peak = std::max(peak, std::abs(int(samples[i])));
        }
        bestRms = std::max(bestRms, std::sqrt(sum / window));
    }
    EXPECT_GT(peak, 8000);
    EXPECT_GT(bestRms, 5000.0);
    const TSignalShape shape = ShapeOf(raw);
    EXPECT_NEAR(shape.SoundMs, 2500, 60);
    EXPECT_LE(shape.LongestGapMs, 5.0);
}

// The streams the test sink plays for clients (our player's among them).
int SinkInputs() {
    FILE* pipe = ::popen("pactl list short sink-inputs 2>/dev/null", "r");
    if (!pipe)
        return -1;
    int lines = 0;
    for (int ch; (ch = std::fgetc(pipe)) != EOF;)
        lines += ch == '\n';
    ::pclose(pipe);
    return lines;
}

// An idle player keeps no stream at the sound server, which would wake it
// many times a second; a parked song keeps its own, to start again at once.
TEST(GstAudioBackend, ARestingPlayerKeepsNoStreamAtTheSoundServer) {
    if (!PulseReachable())
        GTEST_SKIP() << "no PulseAudio server reachable (see scripts/pulse-test-server.sh)";
    TempDir dir;
    const std::string song = dir / "tone.mp3", next = dir / "next.mp3";
    if (!WriteToneMp3(song, 0.5, 440) || !WriteToneMp3(next, 0.5, 660))
        GTEST_SKIP() << "lame is not installed";
    const int before = SinkInputs();
    auto lib = CreateGStreamerBackend();
    TPlayer player(*lib);
    player.Init();
    player.Play(song);
    ASSERT_TRUE(WaitFor([&] { return SinkInputs() > before; }, std::chrono::seconds(3)))
        << "the song never reached the sound server";
    ASSERT_TRUE(
        WaitFor([&] { return player.State() == TStreamState::Stopped; }, std::chrono::seconds(5)));
    player.Rest();
    EXPECT_TRUE(WaitFor([&] { return SinkInputs() == before; }, std::chrono::seconds(2)))
        << "an ended song keeps its stream: " << SinkInputs() << " against " << before;
    EXPECT_EQ(player.StreamId(), 0u);

    // The next start takes the output kept ready, and a parked song stays.
    player.Play(next);
    ASSERT_NE(player.StreamId(), 0u);
    player.Park();
    player.Rest();
    EXPECT_TRUE(player.Parked());
    EXPECT_TRUE(player.Restart()) << "the parked song went with the rest";
    EXPECT_TRUE(
        WaitFor([&] { return player.State() == TStreamState::Stopped; }, std::chrono::seconds(5)));
}

// A pause that comes just as the song starts must hold the rest of it: the
// sink's streaming thread may not yet have woken up to play when the pause
// arrives, and it must then not play through the song while the channel
// reads paused (the song would end at once on resume). When exactly the
// sink starts is not visible from outside, so the pause comes after a
// growing delay that sweeps past that moment.
TEST(GstAudioBackend, APauseAsTheSongStartsHoldsTheRest) {
    TempDir dir;
    const std::string song = dir / "short.mp3";
    WriteSilentMp3(song, 0.12);
    auto lib = CreateGStreamerBackend(kTimedSink);
    ASSERT_TRUE(lib->Start());
    for (int attempt = 0; attempt < 40; ++attempt) {
        const auto delay = std::chrono::microseconds(40 * attempt);
        SCOPED_TRACE("paused " + std::to_string(delay.count()) + " microseconds after the start");
        std::unique_ptr<TAudioStream> stream = lib->Open(song);
        ASSERT_NE(stream, nullptr);
        ASSERT_TRUE(stream->Play());
        const auto until = Clock::now() + delay;
        while (Clock::now() < until) {
        }
        ASSERT_TRUE(stream->Pause());
        LetTimePass(std::chrono::milliseconds(160));  // longer than the song: it must hold
        ASSERT_EQ(stream->State(), TStreamState::Paused);
        ASSERT_TRUE(stream->Resume());
        // Long enough for an end at once to show, well short of the rest.
        LetTimePass(std::chrono::milliseconds(20));
        ASSERT_EQ(stream->State(), TStreamState::Playing) << "the rest of the song was lost";
    }
}

namespace {

// A sink that writes the decoded signal, in real time, as 16-bit stereo at
// 44.1 kHz to a file; every channel appends to it.
std::string RawFileSink(const std::string& path) {
    return "audioconvert ! audioresample ! audio/x-raw,format=S16LE,rate=44100,channels=2 ! "
           "filesink sync=true append=true location=\"" +
           path + "\"";
}

}  // namespace

// Two tones that run to their last sample, the second queued while the first
// plays: the decoded signal has no gap between them, the start of the second
// is reported as it becomes audible, and the end only after it. The playbin
// reads the next file about a second before the end, so the first song is
// longer than that.
TEST(GstAudioBackend, AQueuedSongFollowsWithoutAGap) {
    TempDir dir;
    const std::string one = dir / "one.mp3", two = dir / "two.mp3", three = dir / "three.mp3";
    if (!WriteToneMp3(one, 2.0, 440) || !WriteToneMp3(two, 0.5, 660) ||
        !WriteToneMp3(three, 0.5, 550))
        GTEST_SKIP() << "lame is not installed";
    const std::string recording = dir / "gapless.raw";
    auto lib = CreateGStreamerBackend(RawFileSink(recording));
    TPlayer player(*lib);
    player.Init();
    std::atomic<int> ends{0};
    player.OnEnd = [&](TPlayer*) { ++ends; };

    player.Play(one);
    const auto start = Clock::now();  // Play returns as the song starts
    ASSERT_NE(player.StreamId(), 0u);
    ASSERT_TRUE(player.Queue(two));
    double startedAfter = 0;
    int told = 0;
    bool thirdTaken = false;
    ASSERT_TRUE(WaitFor(
        [&] {
            if (player.QueuedSongStarted() && ++told == 1) {
                startedAfter = Seconds(start);
                // The short second song has been read whole by now: a third
                // one is refused, or else it must be heard.
                thirdTaken = player.Queue(three);
            }
            return player.State() == TStreamState::Stopped;
        },
        std::chrono::seconds(5)));
    EXPECT_GT(startedAfter, 1.8) << "the second song was reported too early";
    EXPECT_LT(startedAfter, 2.3) << "the second song was reported late or never";
    EXPECT_GT(Seconds(start), 2.4) << "the songs played in real time";
    EXPECT_EQ(ends.load(), 1);
    EXPECT_FALSE(player.Queue(three)) << "after the end nothing can follow";
    const TSignalShape shape = ShapeOf(ReadFile(recording));
    EXPECT_EQ(told, thirdTaken ? 2 : 1);
    EXPECT_EQ(player.FileName(), thirdTaken ? three : two);
    EXPECT_NEAR(shape.SoundMs, thirdTaken ? 3000 : 2500, 60);
    EXPECT_LE(shape.LongestGapMs, 5.0);

    // The first song alone: played in full, its end told once, no second song.
    auto playsAlone = [&](const std::function<void()>& afterPlay) {
        ends = 0;
        player.Play(one);
        const auto begun = Clock::now();
        afterPlay();
        ASSERT_TRUE(WaitFor(
            [&] {
                EXPECT_FALSE(player.QueuedSongStarted());
                return player.State() == TStreamState::Stopped;
            },
            std::chrono::seconds(3)));
        EXPECT_GT(Seconds(begun), 1.95) << "cut short";
        EXPECT_LT(Seconds(begun), 2.5);
        EXPECT_EQ(ends.load(), 1);
        EXPECT_EQ(player.FileName(), one);
    };
    {
        SCOPED_TRACE("called off");
        playsAlone([&] {
            ASSERT_TRUE(player.Queue(two));
            ASSERT_TRUE(player.Queue(""));
        });
    }
    {
        // The playbin has taken the next file long before the end (it reads
        // a short file whole at once): a change of plan then must still keep
        // that file from being heard.
        SCOPED_TRACE("called off after the playbin took it");
        playsAlone([&] {
            ASSERT_TRUE(player.Queue(two));
            ASSERT_TRUE(
                WaitFor([&] { return player.Position() >= 1'200'000; }, std::chrono::seconds(3)));
            ASSERT_TRUE(player.Queue(""));
            EXPECT_EQ(player.QueuedFileName(), "");
        });
    }
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "This is a plain text file and no audio at all.\n";
    WriteFile(dir / "text.mp3", text);
    for (const std::string& bad : {dir / "text.mp3", dir / "missing.mp3"}) {
        SCOPED_TRACE("a queued file that cannot be played: " + bad);
        playsAlone([&] { EXPECT_FALSE(player.Queue(bad)); });
    }
}

namespace {

// A song of 40 s whose tone rises by 100 Hz a second: the pitch of a piece of
// it tells where in the song it lies.
constexpr double kSweepSeconds = 40, kSweepFrom = 200, kSweepRise = 100;

// Where in the sweep each piece of 50 ms of a recorded signal lies, in
// seconds, by the zero crossings of its left channel; NaN for a piece that
// is silent in part (before, between and after the song, around a pause).
std::vector<double> SweepPositions(const std::string& raw) {
    std::vector<int16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    const size_t piece = 2205, part = 220;  // frames: 50 ms, and a period of the lowest pitch
    std::vector<double> positions;
    for (size_t begin = 0; begin + 2 * piece <= samples.size(); begin += 2 * piece) {
        int crossings = 0;
        bool whole = true;
        for (size_t from = begin; from + 2 * part <= begin + 2 * piece; from += 2 * part) {
            int peak = 0;
            for (size_t i = from; i < from + 2 * part; i += 2)
                peak = std::max(peak, std::abs(int(samples[i])));
            whole = whole && peak > 1024;
        }
        for (size_t i = begin + 2; i < begin + 2 * piece; i += 2)
            crossings += (samples[i - 2] < 0) != (samples[i] < 0);
        positions.push_back(whole ? (crossings * 10.0 - kSweepFrom) / kSweepRise : std::nan(""));
    }
    return positions;
}

// Where each run of the recorded song begins: after a jump (the piece across
// a jump left out) or after a silence that the song does not leave where it
// entered it (a pause with a move), the median of what its first three
// pieces tell, as a piece that the sound enters late reads low. A dropout
// that a busy machine puts into the sound, after which the song goes on where
// it was or no further than the silence lasted, begins no run.
std::vector<double> Runs(const std::vector<double>& positions) {
    std::vector<double> starts;
    double before = std::nan("");
    double lastHeard = std::nan("");
    size_t lastHeardAt = 0;
    bool jumped = false, startedRun = false;
    for (size_t i = 0; i < positions.size(); ++i) {
        const double at = positions[i];
        if (std::isnan(at)) {
            before = at;
            continue;
        }
        const bool droppedOut = std::isnan(before) && !std::isnan(lastHeard) &&
                                at > lastHeard - 0.15 &&
                                at < lastHeard + 0.05 * double(i - lastHeardAt) + 0.15;
        const bool runStarts = (std::isnan(before) && !droppedOut) || jumped;
        if (runStarts && i + 2 < positions.size()) {
            double told[3] = {at, positions[i + 1] - 0.05, positions[i + 2] - 0.1};
            std::sort(std::begin(told), std::end(told));
            starts.push_back(told[1]);
        }
        // A run's first piece may read low: the step from it is no jump.
        jumped =
            !std::isnan(before) && !runStarts && !startedRun && std::abs(at - before - 0.05) > 1.0;
        startedRun = runStarts;
        before = lastHeard = at;
        lastHeardAt = i;
    }
    return starts;
}

// Plays the sweep, moves it to 30 s, pauses, moves it to 10 s, resumes:
// the player's position follows every move, and so does what is heard.
void PlaySeekPauseSeek(TAudioBackend& lib, const std::string& song) {
    TPlayer player(lib);
    player.Init();
    player.Play(song);
    ASSERT_NE(player.StreamId(), 0u);
    EXPECT_NEAR(double(player.Length()), kSweepSeconds * 1e6, 60e3);
    // Each span lets the song run on, or hold, for a known time: the position
    // and what is heard must follow the clock.
    LetTimePass(std::chrono::milliseconds(500));
    const int64_t before = player.Position();
    EXPECT_GT(before, 300'000) << "the song did not play on";
    EXPECT_LT(before, 900'000);

    ASSERT_TRUE(player.Seek(30'000'000));
    const int64_t moved = player.Position();
    EXPECT_GE(moved, 29'990'000);
    EXPECT_LT(moved, 30'200'000);
    LetTimePass(std::chrono::milliseconds(500));
    EXPECT_NEAR(double(player.Position()), 30.5e6, 250e3) << "plays on after the move";
    EXPECT_EQ(player.State(), TStreamState::Playing);

    // A place too far to count in nanoseconds is refused, not overflowed.
    EXPECT_FALSE(player.Seek(std::numeric_limits<int64_t>::max()));
    EXPECT_EQ(player.State(), TStreamState::Playing);

    player.Pause();
    ASSERT_TRUE(player.Seek(10'000'000));
    EXPECT_EQ(player.State(), TStreamState::Paused) << "a move keeps the pause";
    LetTimePass(std::chrono::milliseconds(300));
    EXPECT_NEAR(double(player.Position()), 10e6, 20e3) << "moved while paused, and held";
    player.Resume();
    LetTimePass(std::chrono::milliseconds(500));
    EXPECT_NEAR(double(player.Position()), 10.5e6, 250e3);
    EXPECT_FALSE(player.Seek(-5)) << "before the start";
    player.Stop();
    EXPECT_FALSE(player.Seek(1'000'000)) << "nothing plays";
    EXPECT_EQ(player.Position(), -1);
}

void ExpectHeardAt(const std::string& raw) {
    const std::vector<double> positions = SweepPositions(raw);
    ASSERT_GT(positions.size(), 20u) << "less than a second heard";
    const std::vector<double> starts = Runs(positions);
    std::string heard;
    for (double at : positions)
        heard += std::isnan(at) ? " -" : " " + std::to_string(at).substr(0, 5);
    ASSERT_EQ(starts.size(), 3u) << "heard from the start, at 30 s and at 10 s:" << heard;
    // The first whole piece after a jump begins within 50 ms after its
    // target; a piece's pitch tells its place within 0.1 s.
    EXPECT_NEAR(starts[0], 0.05, 0.15);
    EXPECT_NEAR(starts[1], 30.05, 0.15);
    EXPECT_NEAR(starts[2], 10.05, 0.15);
    const auto last = std::find_if(positions.rbegin(), positions.rend(),
                                   [](double at) { return !std::isnan(at); });
    EXPECT_NEAR(*last, 10.5, 0.3) << "the song went on from 10 s";
}

}  // namespace

TEST(GstAudioBackend, ASeekMovesWhatIsHeard) {
    TempDir dir;
    const std::string song = dir / "sweep.mp3";
    if (!WriteSweepMp3(song, kSweepSeconds, kSweepFrom, kSweepFrom + kSweepRise * kSweepSeconds))
        GTEST_SKIP() << "lame is not installed";
    {
        SCOPED_TRACE("the decoded signal");
        // A file sink empties its file at a flushing seek: the signal goes
        // through a descriptor of the test's own instead.
        const std::string recording = dir / "decoded.raw";
        const int fd = ::open(recording.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        ASSERT_GE(fd, 0);
        {
            auto lib = CreateGStreamerBackend(
                "audioconvert ! audioresample ! audio/x-raw,format=S16LE,rate=44100,channels=2 ! "
                "fdsink sync=true fd=" +
                std::to_string(fd));
            ASSERT_NO_FATAL_FAILURE(PlaySeekPauseSeek(*lib, song));
        }
        ::close(fd);
        ASSERT_NO_FATAL_FAILURE(ExpectHeardAt(ReadFile(recording)));
    }
    if (!PulseReachable())
        GTEST_SKIP() << "no PulseAudio server reachable (see scripts/pulse-test-server.sh)";
    SCOPED_TRACE("the sound at the null sink");
    const std::string recording = dir / "sink.raw";
    TMonitorRecording parec(TestSinkMonitor(), recording);
    ASSERT_TRUE(parec.Started()) << "cannot start parec";
    ASSERT_TRUE(RecordOn(recording, std::chrono::milliseconds(100))) << "parec records nothing";
    {
        auto lib = CreateGStreamerBackend();
        ASSERT_NO_FATAL_FAILURE(PlaySeekPauseSeek(*lib, song));
    }
    EXPECT_TRUE(RecordOn(recording, std::chrono::milliseconds(300)));
    parec.Stop();
    ExpectHeardAt(ReadFile(recording));
}

// After a queued song has begun, the position and length are that song's.
TEST(GstAudioBackend, AfterAQueuedSongBeganThePositionIsItsOwn) {
    TempDir dir;
    const std::string one = dir / "one.mp3", two = dir / "two.mp3";
    if (!WriteToneMp3(one, 1.5, 440) || !WriteToneMp3(two, 3.0, 660))
        GTEST_SKIP() << "lame is not installed";
    auto lib = CreateGStreamerBackend(kTimedSink);
    TPlayer player(*lib);
    player.Init();
    player.Play(one);
    EXPECT_NEAR(double(player.Length()), 1.5e6, 60e3);
    ASSERT_TRUE(player.Queue(two));
    ASSERT_TRUE(WaitFor([&] { return player.QueuedSongStarted(); }, std::chrono::seconds(3)));
    EXPECT_LT(player.Position(), 200'000) << "still the first song's position";
    EXPECT_NEAR(double(player.Length()), 3e6, 60e3);
    LetTimePass(std::chrono::milliseconds(500));  // the second song's position runs on from 0
    EXPECT_NEAR(double(player.Position()), 0.5e6, 200e3);
    ASSERT_TRUE(player.Seek(2'000'000));
    EXPECT_NEAR(double(player.Position()), 2e6, 100e3) << "the move is within the second song";
    EXPECT_EQ(player.FileName(), two);
}

// Through the sound server, whose sink takes in a file well ahead of its
// sound: until the queued song is heard, the position is the first song's,
// running on to its end.
TEST(GstAudioBackend, UntilAQueuedSongIsHeardThePositionIsTheSongBefore) {
    if (!PulseReachable())
        GTEST_SKIP() << "no PulseAudio server reachable (see scripts/pulse-test-server.sh)";
    TempDir dir;
    const std::string one = dir / "one.mp3", two = dir / "two.mp3";
    if (!WriteToneMp3(one, 1.5, 440) || !WriteToneMp3(two, 3.0, 660))
        GTEST_SKIP() << "lame is not installed";
    auto lib = CreateGStreamerBackend();
    TPlayer player(*lib);
    player.Init();
    player.Play(one);
    ASSERT_TRUE(player.Queue(two));
    int64_t last = -1;
    std::vector<int64_t> backwards;
    ASSERT_TRUE(WaitFor(
        [&] {
            if (player.QueuedSongStarted())
                return true;
            const int64_t now = player.Position();
            if (now < last - 20'000)
                backwards.push_back(now);
            last = std::max(last, now);
            return false;
        },
        std::chrono::seconds(4)));
    EXPECT_EQ(backwards, std::vector<int64_t>{}) << "after " << last;
    EXPECT_GT(last, 1'300'000) << "the first song's position ran on to its end";
    EXPECT_LT(player.Position(), 300'000) << "the second song's own";
}

// A move back in the song after the playbin has taken the queued file: the
// song plays on from there, and the queued one still follows at its end.
TEST(GstAudioBackend, AMoveBackKeepsTheQueuedSongToFollow) {
    TempDir dir;
    const std::string one = dir / "one.mp3", two = dir / "two.mp3";
    if (!WriteToneMp3(one, 2.0, 440) || !WriteToneMp3(two, 1.0, 660))
        GTEST_SKIP() << "lame is not installed";
    auto lib = CreateGStreamerBackend(kTimedSink);
    TPlayer player(*lib);
    player.Init();
    player.Play(one);
    ASSERT_TRUE(player.Queue(two));
    // By 1.7 s the playbin holds the second song: it reads a short file whole
    // long before its end.
    ASSERT_TRUE(WaitFor([&] { return player.Position() >= 1'700'000; }, std::chrono::seconds(4)));
    ASSERT_TRUE(player.Seek(500'000));
    const auto moved = Clock::now();
    EXPECT_NEAR(double(player.Position()), 0.5e6, 100e3);
    EXPECT_EQ(player.FileName(), one);
    ASSERT_TRUE(WaitFor(
        [&] { return player.QueuedSongStarted() || player.State() == TStreamState::Stopped; },
        std::chrono::seconds(4)));
    EXPECT_NEAR(Seconds(moved), 1.5, 0.25) << "the rest of the first song played";
    EXPECT_EQ(player.FileName(), two);
    EXPECT_EQ(player.State(), TStreamState::Playing);
}

// A song the output holds ready, so that a command is heard at once: the song
// queued to follow, when the listener goes on to it before its turn (Next),
// and the song of a remote stop when playing is asked for again. Each waits a
// good while first, as a listener does; it must then be heard whole, from its
// first sample (an output that waits, only prerolled, lets the sound server
// run on, and as much of the song's start is lost as the wait was long).
TEST(GstAudioBackend, ASongHeldReadyIsHeardWholeAfterAWait) {
    if (!PulseReachable())
        GTEST_SKIP() << "no PulseAudio server reachable (see scripts/pulse-test-server.sh)";
    TempDir dir;
    const std::string first = dir / "first.mp3", next = dir / "next.mp3";
    if (!WriteToneMp3(first, 3.0, 440) || !WriteToneMp3(next, 1.0, 660))
        GTEST_SKIP() << "lame is not installed";
    auto lib = CreateGStreamerBackend();
    TPlayer player(*lib);
    player.Init();
    // Asks the player every 50 ms for a while, as the window's poll does; the
    // while is a listener's wait, on purpose.
    auto polled = [&](std::chrono::milliseconds span) {
        const auto end = Clock::now() + span;
        while (Clock::now() < end) {
            player.State();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    };
    // What the sink plays while start() runs and the song ends, from silence.
    auto heard = [&](const std::string& name, const std::function<void()>& start) {
        const std::string recording = dir / (name + ".raw");
        TMonitorRecording parec(TestSinkMonitor(), recording);
        EXPECT_TRUE(parec.Started()) << "cannot start parec";
        auto poll = [&] { player.State(); };
        EXPECT_TRUE(RecordOn(recording, std::chrono::milliseconds(100), poll))
            << "parec records nothing";
        polled(std::chrono::milliseconds(400));
        start();
        EXPECT_TRUE(WaitFor([&] { return player.State() == TStreamState::Stopped; },
                            std::chrono::seconds(4)));
        EXPECT_TRUE(RecordOn(recording, std::chrono::milliseconds(300), poll));
        parec.Stop();
        return ShapeOf(ReadFile(recording));
    };

    {
        SCOPED_TRACE("the song queued to follow, started before its turn");
        player.Play(first);
        ASSERT_TRUE(player.Queue(next));
        polled(std::chrono::milliseconds(600));
        player.Stop();
        const TSignalShape shape = heard("next", [&] { player.Play(next); });
        EXPECT_NEAR(shape.SoundMs, 1000, 60);
        EXPECT_LE(shape.LongestGapMs, 5.0);
        EXPECT_EQ(player.FileName(), next);
    }
    {
        SCOPED_TRACE("started again after a stop");
        player.Play(first);
        polled(std::chrono::milliseconds(500));
        player.Park();
        EXPECT_TRUE(player.Parked());
        EXPECT_EQ(player.State(), TStreamState::Stopped);
        const TSignalShape shape = heard("again", [&] { EXPECT_TRUE(player.Restart()); });
        EXPECT_NEAR(shape.SoundMs, 3000, 60) << "not from its beginning, or not whole";
        EXPECT_LE(shape.LongestGapMs, 5.0) << "heard while it was held";
        EXPECT_FALSE(player.Restart()) << "a song that was not held started";
    }
}
