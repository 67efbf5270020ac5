// Cold start of the program to its window shown with the album tree filled
// from a catalogue of 100,000 folders, against Qt alone starting and showing
// an empty window of the same size (empty_window) in the same run.
//
// Both run as separate processes with TUNRAX_STARTUP_PROBE set: each writes
// "shown ..." on its first paint with content and ends (app/StartupProbe.h).
// A run is timed from spawning the process to that line arriving on the pipe.
// Rounds alternate between the two; one untimed start of each comes first,
// which also lets GStreamer build its plugin registry in the private HOME that
// every round shares.
//
// The program measured is --program=PATH, else the installed /usr/bin/tunrax,
// else the one of this build. Without an X display (DISPLAY unset) the bench
// starts its own Xvfb; without Xvfb it falls back to Qt's offscreen platform.
// QT_QPA_PLATFORM, when set, is honoured as given. Without a session bus
// (DBUS_SESSION_BUS_ADDRESS unset) it starts its own too, since on a desktop
// the program announces itself there while starting.
//
// Options: --rounds=N (timed starts of each, default 7), --program=PATH.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/catalogue_names.h"

namespace {

using namespace tunrax::bench;

constexpr double kTargetRatio = 2.5;
constexpr int kArtists = 1000;
constexpr int kAlbumsPerArtist = 99;  // 1,000 + 99,000 = 100,000 folders
constexpr int kStartTimeoutMs = 60000;
constexpr int kEndTimeoutMs = 10000;

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}

// The catalogue as the program stores it: level as leading TABs, CR LF.
std::string CatalogueText() {
    std::string text;
    for (int a = 0; a < kArtists; ++a) {
        text += ArtistName(a) + "\r\n";
        for (int b = 0; b < kAlbumsPerArtist; ++b) {
            text += '\t';
            text += AlbumName(a, b);
            text += "\r\n";
        }
    }
    return text;
}

bool IsExecutable(const std::string& path) {
    return !path.empty() && ::access(path.c_str(), X_OK) == 0;
}

// The environment of the measured processes: this one's, with the entries
// of overrides replaced (an empty value removes the entry).
class Environment {
public:
    Environment() {
        for (char** e = environ; *e; ++e)
            FEntries.emplace_back(*e);
    }
    void Set(const std::string& name, const std::string& value) {
        const std::string prefix = name + "=";
        std::erase_if(FEntries, [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
        if (!value.empty())
            FEntries.push_back(prefix + value);
    }
    std::vector<char*> Pointers() {
        std::vector<char*> result;
        for (std::string& e : FEntries)
            result.push_back(e.data());
        result.push_back(nullptr);
        return result;
    }

private:
    std::vector<std::string> FEntries;
};

// The processes this bench runs (servers and the measured one), ended with
// it when it is stopped by a signal.
volatile sig_atomic_t gChildren[3] = {0, 0, 0};
constexpr int kXvfbSlot = 0, kBusSlot = 1, kMeasuredSlot = 2;

void RegisterChild(int slot, pid_t pid) {
    gChildren[slot] = pid;
}

void EndChildrenAndExit(int signalNumber) {
    for (const sig_atomic_t pid : gChildren)
        if (pid > 0)
            ::kill(pid, SIGKILL);
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

void WaitOrKill(pid_t pid, int timeoutMs) {
    int status = 0;
    const double deadline = NowMs() + timeoutMs;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (NowMs() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return;
        }
        ::usleep(2000);
    }
}

// A server of our own (Xvfb, a session bus) that writes one line to a file
// descriptor named on its command line once it accepts clients: its display
// number or its address.
class OwnServer {
public:
    // slot: its place among the children ended on a signal.
    explicit OwnServer(int slot) : FSlot(slot) {}

    // argv with "FD" ending the argument where the descriptor's number goes. False when the
    // server cannot be started or does not report within 10 s.
    bool Start(std::vector<std::string> argv) {
        int fds[2];
        if (::pipe(fds) != 0)
            return false;
        ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        std::vector<char*> args;
        for (std::string& a : argv) {
            if (a.ends_with("FD"))
                a.replace(a.size() - 2, 2, std::to_string(fds[1]));
            args.push_back(a.data());
        }
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const int rc = posix_spawnp(&FPid, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (rc != 0) {
            FPid = 0;
            ::close(fds[0]);
            return false;
        }
        RegisterChild(FSlot, FPid);
        std::string text;
        pollfd p{fds[0], POLLIN, 0};
        const double deadline = NowMs() + 10000;
        while (text.find('\n') == std::string::npos && NowMs() < deadline) {
            if (::poll(&p, 1, 100) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            text.append(buffer, static_cast<size_t>(n));
        }
        ::close(fds[0]);
        if (text.find('\n') == std::string::npos) {
            Stop();
            return false;
        }
        FLine.assign(text, 0, text.find('\n'));
        return true;
    }
    void Stop() {
        if (FPid > 0) {
            ::kill(FPid, SIGTERM);
            WaitOrKill(FPid, 5000);
            RegisterChild(FSlot, 0);
            FPid = 0;
        }
    }
    ~OwnServer() { Stop(); }
    const std::string& Line() const { return FLine; }

private:
    int FSlot;
    pid_t FPid = 0;
    std::string FLine;
};

struct Start {
    double wallMs = 0;   // spawn to the "shown" line
    double probeMs = 0;  // as the process itself reports it
    std::string window;  // WIDTHxHEIGHT
    int rows = 0;        // top-level rows of the tree, if one was watched
};

// Starts argv[0] and waits for its "shown" line; throws when none comes.
Start TimeStart(const std::vector<std::string>& argv, Environment& env,
                const std::string& errorFile) {
    std::vector<std::string> copy = argv;
    std::vector<char*> args;
    for (std::string& a : copy)
        args.push_back(a.data());
    args.push_back(nullptr);
    std::vector<char*> envp = env.Pointers();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const double start = NowMs();
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    }
    RegisterChild(kMeasuredSlot, pid);

    std::string output;
    double shownMs = -1;
    pollfd p{fds[0], POLLIN, 0};
    while (shownMs < 0) {
        const double left = start + kStartTimeoutMs - NowMs();
        if (left <= 0)
            break;
        const int ready = ::poll(&p, 1, static_cast<int>(left) + 1);
        if (ready == 0 || (ready < 0 && errno == EINTR))
            continue;
        if (ready < 0)
            break;
        char buffer[512];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        output.append(buffer, static_cast<size_t>(n));
        const size_t shown = output.find("shown ");
        if (shown != std::string::npos && output.find('\n', shown) != std::string::npos)
            shownMs = NowMs() - start;
    }
    ::close(fds[0]);
    WaitOrKill(pid, shownMs < 0 ? 0 : kEndTimeoutMs);
    RegisterChild(kMeasuredSlot, 0);
    if (shownMs < 0) {
        std::ifstream in(errorFile);
        std::string errors((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (errors.size() > 600)
            errors.replace(0, errors.size() - 600, "...");
        throw std::runtime_error(argv[0] + " showed nothing within " +
                                 std::to_string(kStartTimeoutMs / 1000) +
                                 " s (TUNRAX_STARTUP_PROBE not built in?); its errors:\n" + errors);
    }
    Start result;
    result.wallMs = shownMs;
    const std::string line = output.substr(output.find("shown "));
    char window[32] = "";
    std::sscanf(line.c_str(), "shown %lf window=%31s rows=%d", &result.probeMs, window,
                &result.rows);
    result.window = window;
    return result;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Min(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

void ClearFolder(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        std::filesystem::remove_all(entry.path());
}

std::string StringOption(int argc, char** argv, const std::string& name) {
    const std::string prefix = "--" + name + "=";
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0)
            return argv[i] + prefix.size();
    return {};
}

int Run(int argc, char** argv) {
    const int rounds = IntOption(argc, argv, "rounds", 7);
    std::string program = StringOption(argc, argv, "program");
    if (program.empty())
        program = IsExecutable("/usr/bin/tunrax") ? "/usr/bin/tunrax" : TUNRAX_BUILT_PROGRAM;
    const std::string emptyWindow = TUNRAX_EMPTY_WINDOW;
    std::printf("Tunrax start benchmark\n");
    for (const std::string& exe : {program, emptyWindow}) {
        if (!IsExecutable(exe)) {
            std::printf("  %s is missing: nothing measured\n", exe.c_str());
            return 0;
        }
    }

    ScratchFolder scratch("tunrax-start-bench");
    const std::string home = scratch.Path() + "home";
    const std::string config = home + "/.config";
    const std::string runtime = scratch.Path() + "runtime";
    const std::string collection = scratch.Path() + "Musik/";
    for (const std::string& folder :
         {home, config, config + "/quintor", home + "/.cache", home + "/.local",
          home + "/.local/share", runtime, collection})
        std::filesystem::create_directories(folder);
    ::chmod(runtime.c_str(), 0700);

    const std::string catalogue = collection + "tunrax.dat";
    const std::string catalogueText = CatalogueText();
    WriteText(catalogue, catalogueText);
    // The program names its settings file after its own file name.
    std::string settingsName = std::filesystem::canonical(program).filename().string();
    if (const size_t dot = settingsName.rfind('.'); dot != std::string::npos && dot > 0)
        settingsName.erase(dot);
    WriteText(config + "/quintor/" + settingsName + ".ini",
              "[Einstellungen]\nTyp=0\nVerzeichnis=" + collection + "\n");

    Environment env;
    env.Set("HOME", home);
    env.Set("XDG_CONFIG_HOME", config);
    env.Set("XDG_CACHE_HOME", home + "/.cache");
    env.Set("XDG_DATA_HOME", home + "/.local/share");
    env.Set("XDG_RUNTIME_DIR", runtime);
    env.Set("TUNRAX_STARTUP_PROBE", "1");

    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP})
        ::signal(signalNumber, EndChildrenAndExit);
    OwnServer xvfb(kXvfbSlot);
    std::string platform;
    const char* qpa = std::getenv("QT_QPA_PLATFORM");
    const char* display = std::getenv("DISPLAY");
    if (qpa && *qpa) {
        platform = std::string("QT_QPA_PLATFORM=") + qpa + " as set";
    } else if (display && *display) {
        platform = std::string("the X display ") + display + " as set";
    } else if (xvfb.Start({"Xvfb", "-displayfd", "FD", "-screen", "0", "1024x768x24", "-nolisten",
                           "tcp"})) {
        env.Set("DISPLAY", ":" + xvfb.Line());
        platform = "an own Xvfb on :" + xvfb.Line() + " (1024x768x24)";
    } else {
        env.Set("QT_QPA_PLATFORM", "offscreen");
        platform = "Qt's offscreen platform (no DISPLAY, Xvfb not found)";
    }
    // A desktop has a session bus, and the program announces itself on it.
    OwnServer bus(kBusSlot);
    std::string busText = "the session bus as set";
    const char* busAddress = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!busAddress || !*busAddress) {
        if (bus.Start({"dbus-daemon", "--session", "--nofork", "--print-address=FD"})) {
            env.Set("DBUS_SESSION_BUS_ADDRESS", bus.Line());
            busText = "an own session bus";
        } else {
            busText = "no session bus (dbus-daemon not found)";
        }
    }

    std::printf("  program: %s\n", program.c_str());
    std::printf("  baseline: %s\n", emptyWindow.c_str());
    std::printf("  shown on %s, with %s\n", platform.c_str(), busText.c_str());
    std::printf("  catalogue: %d artists x %d albums = %d folders, %.1f MB\n", kArtists,
                kAlbumsPerArtist, kArtists * (1 + kAlbumsPerArtist),
                catalogueText.size() / 1048576.0);
    std::printf("  %d timed starts of each, alternating, after one untimed start of each\n\n",
                rounds);
    std::fflush(stdout);

    const std::string errors = scratch.Path() + "stderr.txt";
    auto ours = [&] {
        const Start s = TimeStart({program}, env, errors);
        // The single-instance lock of a process that ended without cleaning
        // up stays behind; each start begins as after a clean end.
        ClearFolder(runtime);
        return s;
    };
    const Start first = ours();
    if (first.rows != kArtists) {
        std::printf("  the album tree showed %d top-level folders, not %d: WRONG RESULT\n",
                    first.rows, kArtists);
        return 0;
    }
    const std::vector<std::string> base = {emptyWindow, "--size=" + first.window};
    const Start firstBase = TimeStart(base, env, errors);

    std::vector<double> oursWall, oursProbe, baseWall, baseProbe;
    bool rowsRight = true;
    for (int i = 0; i < rounds; ++i) {
        const Start b = TimeStart(base, env, errors);
        baseWall.push_back(b.wallMs);
        baseProbe.push_back(b.probeMs);
        const Start o = ours();
        oursWall.push_back(o.wallMs);
        oursProbe.push_back(o.probeMs);
        rowsRight = rowsRight && o.rows == kArtists;
    }

    std::ifstream in(catalogue, std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::printf("  window %s; album tree with %d top-level folders%s; catalogue %s\n",
                first.window.c_str(), first.rows, rowsRight ? "" : " (NOT in every round)",
                after == catalogueText ? "read, left unchanged" : "CHANGED: rebuilt?");
    std::printf("  first starts, not counted: Tunrax %.0f ms, empty window %.0f ms\n\n",
                first.wallMs, firstBase.wallMs);
    // The processes' own figure counts from their start time in /proc, which
    // has 10 ms steps.
    std::printf("     %-34s %9s %9s %14s\n", "spawn to \"shown\" line", "median", "min",
                "self-reported");
    std::printf("     %-34s %6.0f ms %6.0f ms %11.0f ms\n", "empty Qt window", Median(baseWall),
                Min(baseWall), Median(baseProbe));
    std::printf("     %-34s %6.0f ms %6.0f ms %11.0f ms\n", "Tunrax, tree filled", Median(oursWall),
                Min(oursWall), Median(oursProbe));
    const double ratio = Median(oursWall) / Median(baseWall);
    std::printf("     %-34s median %5.2f   min %5.2f   target <= %.1f: %s\n",
                "ratio Tunrax / empty", ratio, Min(oursWall) / Min(baseWall), kTargetRatio,
                Verdict(ratio <= kTargetRatio && rowsRight));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return tunrax::bench::BenchMain("start_bench", Run, argc, argv);
}
