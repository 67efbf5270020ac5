// A small timing harness shared by the benchmark programs: wall-clock timing
// (best of several runs), running a command-line tool as the baseline, a
// scratch folder below $TMPDIR and a uniform report line.
//
// Benchmarks only report: a missed target is printed, never turned into a
// failing exit status.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace tunrax::bench {

inline double NowMs() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

template <typename F>
double TimeMs(F&& work) {
    const double start = NowMs();
    work();
    return NowMs() - start;
}

// Runs a program found on the PATH with its standard output sent to
// /dev/null and waits for it; the exit status, or -1 when it could not run.
inline int RunQuiet(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A fresh folder below $TMPDIR (else /tmp), removed with its contents when the
// object goes.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed: " + pattern);
        FPath = pattern + "/";
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Ends in "/".
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};

// Best-of-N wall times of a measured operation and its baseline. The two run
// alternately in every round so that both see the same load on a shared
// machine; one untimed run of each first warms the caches.
struct Pair {
    double oursMs = 0;
    double baseMs = 0;
    double Ratio() const { return baseMs > 0 ? oursMs / baseMs : 0; }
};

template <typename Ours, typename Base>
Pair BestOfAlternating(int rounds, Ours&& ours, Base&& base) {
    ours();
    base();
    Pair best{1e300, 1e300};
    for (int i = 0; i < rounds; ++i) {
        best.oursMs = std::min(best.oursMs, TimeMs(ours));
        best.baseMs = std::min(best.baseMs, TimeMs(base));
    }
    return best;
}

template <typename F>
double BestOf(int rounds, F&& work) {
    work();
    double best = 1e300;
    for (int i = 0; i < rounds; ++i)
        best = std::min(best, TimeMs(work));
    return best;
}

// A file of megabytes MB of bytes that do not compress, as a song for the
// transfer benchmarks.
inline void WriteSongFile(const std::string& path, int megabytes) {
    std::ofstream song(path, std::ios::binary);
    std::string block(1024 * 1024, '\0');
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 131 % 251);
    for (int i = 0; i < megabytes; ++i)
        song.write(block.data(), static_cast<std::streamsize>(block.size()));
}

// The resident memory of this process (VmRSS), in KiB; -1 when unknown.
inline long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

inline const char* Verdict(bool met) {
    return met ? "met" : "MISSED";
}

// Reads "--name=value" integer options; anything else is left alone.
inline int IntOption(int argc, char** argv, const std::string& name, int fallback) {
    const std::string prefix = "--" + name + "=";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind(prefix, 0) == 0)
            return std::max(1, std::atoi(a.c_str() + prefix.size()));
    }
    return fallback;
}

// The main() of a benchmark: runs it and reports an error instead of failing,
// since a benchmark never fails the build or the test run.
template <class Run>
int BenchMain(const char* name, Run&& run, int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::printf("%s stopped: %s\n", name, e.what());
        return 0;
    }
}

}  // namespace tunrax::bench
