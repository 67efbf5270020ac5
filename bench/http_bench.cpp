// How fast the web-server source fetches a song, measured against curl(1)
// fetching the same file from the same server in the same run.
//
// A file of 50 MB is served over loopback by the PHP built-in web server
// running our server script; TWebSource::GetFile writes it into a file, as
// the player does with every song, and `curl -s -o FILE URL` does the same.
// Every figure is the best of several runs; the ratio is Tunrax's time over
// curl's (curl's time includes starting the process).
//
// Options: --rounds=N (runs per figure, default 5), --megabytes=N (default 50).

#include <cstdio>
#include <exception>
#include <fstream>
#include <string>

#include "bench/bench_support.h"
#include "settings/IniFile.h"
#include "sources/WebSource.h"
#include "support/Servers.h"

namespace {

using namespace tunrax;
using namespace tunrax::bench;

constexpr double kTargetRatio = 1.2;

class CountingBar : public ProgressDisplay {
public:
    void Show() override {}
    void Hide() override {}
    void SetPosition(int64_t) override {}
    void SetMaximum(int64_t) override {}
    void StepIt() override { ++steps; }
    long steps = 0;
};

size_t FileSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? static_cast<size_t>(in.tellg()) : 0;
}

}  // namespace

int main(int argc, char** argv) try {
    const int rounds = IntOption(argc, argv, "rounds", 5);
    const int megabytes = IntOption(argc, argv, "megabytes", 50);
    ScratchFolder scratch("tunrax-http-bench");
    const std::string root = scratch.Path() + "www/";
    const size_t size = static_cast<size_t>(megabytes) * 1024 * 1024;
    std::filesystem::create_directories(root);
    WriteSongFile(root + "song.mp3", megabytes);

    std::printf("Tunrax web-server source benchmark\n");
    std::printf("  one file of %d MB over loopback from php -S and our server script\n", megabytes);
    std::printf("  best of %d runs each; ratio = Tunrax / curl(1)\n\n", rounds);

    test::PhpServer server(root);
    TWebSource source(false, server.Address(), "/");
    CountingBar bar;
    source.ProgressBar = &bar;

    const std::string ours = scratch.Path() + "ours.mp3";
    const std::string theirs = scratch.Path() + "curl.mp3";
    const std::string url = source.BaseUrl() + "tunrax.php?datei=song.mp3";
    if (RunQuiet({"curl", "--version"}) != 0) {
        std::printf("  curl(1) could not be run; no baseline, nothing measured\n");
        return 0;
    }
    bool curlFailed = false;
    Pair p = BestOfAlternating(
        rounds,
        [&] {
            std::ofstream dest(ours, std::ios::binary | std::ios::trunc);
            source.GetFile(dest, "song.mp3");
        },
        [&] {
            curlFailed |= RunQuiet({"curl", "-s", "-f", "-o", theirs, url}) != 0;
        });

    const bool same = FileSize(ours) == size && FileSize(theirs) == size;
    std::printf("  a) GetFile of song.mp3 into a file\n");
    std::printf("     %-40s %9.1f ms   %ld progress steps per run\n", "TWebSource::GetFile",
                p.oursMs, bar.steps / (rounds + 1));
    if (curlFailed || !same) {
        std::printf("     %-40s failed or sizes differ: WRONG RESULT\n", "curl -s -o");
        return 0;
    }
    std::printf("     %-40s %9.1f ms   ratio %5.2f   target <= %.2f: %s\n", "curl -s -o", p.baseMs,
                p.Ratio(), kTargetRatio, Verdict(p.Ratio() <= kTargetRatio));
    return 0;
} catch (const std::exception& e) {
    std::fprintf(stderr, "http_bench: %s\n", e.what());
    return 1;
}
