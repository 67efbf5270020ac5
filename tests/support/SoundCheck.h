// Reading back what was played, for the tests and benchmarks that listen:
// where a recorded signal is silent, and a recording of what a PulseAudio
// sink plays (its monitor, through parec). Signals are 16-bit stereo at
// 44.1 kHz, little-endian, as raw bytes.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace tunrax::test {

struct TSignalShape {
    double SoundMs = 0;       // from the first to the last sample that is not silent
    double LongestGapMs = 0;  // the longest silence between them
};

// Silence is a stereo sample whose channels both stay below 1/32 of full
// scale; a tone at half scale crosses zero within a sample or two.
inline TSignalShape ShapeOf(const std::string& raw) {
    std::vector<int16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    const size_t frames = samples.size() / 2;
    auto loud = [&](size_t i) {
        return std::abs(int(samples[2 * i])) > 1024 || std::abs(int(samples[2 * i + 1])) > 1024;
    };
    TSignalShape shape;
    size_t first = frames, last = 0, run = 0, longest = 0;
    for (size_t i = 0; i < frames; ++i) {
        if (!loud(i)) {
            ++run;
            continue;
        }
        if (first == frames)
            first = i;
        else
            longest = std::max(longest, run);
        last = i;
        run = 0;
    }
    if (first < frames)
        shape.SoundMs = double(last - first + 1) * 1000.0 / 44100;
    shape.LongestGapMs = double(longest) * 1000.0 / 44100;
    return shape;
}

// True when PULSE_SERVER names a server that answers.
inline bool PulseReachable() {
    return std::getenv("PULSE_SERVER") && std::system("pactl info >/dev/null 2>&1") == 0;
}

// The monitor of the test sink: TUNRAX_TEST_SINK, else "testsink".
inline std::string TestSinkMonitor() {
    const char* sink = std::getenv("TUNRAX_TEST_SINK");
    return std::string(sink && *sink ? sink : "testsink") + ".monitor";
}

// Records a PulseAudio source into a file from construction until Stop.
class TMonitorRecording {
public:
    TMonitorRecording(const std::string& source, const std::string& file) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        const char* argv[] = {"parec",        "-d",           source.c_str(), "--format=s16le",
                              "--rate=44100", "--channels=2", "--raw",        nullptr};
        if (posix_spawnp(&FPid, "parec", &actions, nullptr, const_cast<char* const*>(argv),
                         environ) != 0)
            FPid = 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~TMonitorRecording() { Stop(); }
    TMonitorRecording(const TMonitorRecording&) = delete;
    TMonitorRecording& operator=(const TMonitorRecording&) = delete;

    bool Started() const { return FPid != 0; }
    void Stop() {
        if (FPid == 0)
            return;
        kill(FPid, SIGTERM);
        waitpid(FPid, nullptr, 0);
        FPid = 0;
    }

private:
    pid_t FPid = 0;
};

}  // namespace tunrax::test
