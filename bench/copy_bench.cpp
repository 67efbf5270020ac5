// How fast the copy wizard copies songs to a player's folder, measured
// against command-line tools copying the same files in the same run.
//
// A collection of N songs of 5 MB each (N = 500, or $TUNRAX_COPY_BENCH_SONGS
// for quick runs) is generated below $TMPDIR. The wizard's flat loop (target
// name, CopySong) copies all of them into an empty folder:
// a) from the local folder source, against one `cp` of the same files;
// b) from the FTP source (made by CreateSource from a settings file, a
//    pyftpdlib server on loopback), against `curl -o` fetching the files one
//    by one;
// c) the cost of SyncTargetFolder after a), against `cp` followed by a
//    syncfs of its folder, both writing the data to the disk.
// The target folder is emptied and the disk synced before every timed run.
// a) and b) are the best of several runs; c) is one run each.
//
// Options: --rounds=N (runs per figure, default 3).

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "collection/CopyFiles.h"
#include "io/FileTools.h"
#include "settings/IniFile.h"
#include "settings/PasswordScrambling.h"
#include "sources/LocalSource.h"
#include "sources/Source.h"
#include "sources/SourceSettings.h"
#include "support/Servers.h"

namespace {

using namespace tunrax;
using namespace tunrax::bench;

constexpr double kTargetRatio = 1.3;
constexpr size_t kSongBytes = 5 << 20;

const char* const kServerScript = R"(
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
authorizer = DummyAuthorizer()
authorizer.add_user("bench", "bench", sys.argv[2], perm="elr")
FTPHandler.authorizer = authorizer
FTPServer(("127.0.0.1", int(sys.argv[1])), FTPHandler).serve_forever()
)";

struct Collection {
    std::string root;                // native, ending in "/"
    std::vector<std::string> songs;  // song paths ("\Artist07\Album\Lied0123.mp3")
    std::vector<std::string> files;  // the same, native and full
};

void WriteWhole(const std::string& path, const char* data, size_t size) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot write " + path);
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n <= 0) {
            ::close(fd);
            throw std::runtime_error("cannot write " + path);
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    ::close(fd);
}

// Songs of incompressible bytes, 20 per album folder, distinct file names so
// that one `cp` can put them all into one folder.
Collection MakeCollection(const std::string& root, int count) {
    Collection c{root, {}, {}};
    std::vector<char> bytes(kSongBytes);
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (char& b : bytes) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        b = static_cast<char>(state);
    }
    for (int i = 0; i < count; ++i) {
        char artist[32], song[32];
        std::snprintf(artist, sizeof artist, "Artist%02d", i / 20);
        std::snprintf(song, sizeof song, "Lied%04d.mp3", i);
        const std::string folder = root + artist + "/Album/";
        std::filesystem::create_directories(folder);
        std::snprintf(bytes.data(), 16, "%015d", i);
        WriteWhole(folder + song, bytes.data(), bytes.size());
        c.songs.push_back(std::string("\\") + artist + "\\Album\\" + song);
        c.files.push_back(folder + song);
    }
    return c;
}

// An empty folder with nothing of the last run waiting to be written.
void FreshFolder(const std::string& folder) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    ::sync();
}

void WizardLoop(TSource& source, const Collection& c, const std::string& target) {
    for (size_t i = 0; i < c.songs.size(); ++i) {
        std::string file = CopyTargetFile(target, c.songs[i], static_cast<int>(i + 1), false);
        if (!CopySong(source, c.songs[i], file))
            throw std::runtime_error("not copied: " + file);
    }
}

uintmax_t FolderBytes(const std::string& folder) {
    uintmax_t total = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        total += entry.file_size();
    return total;
}

// One timed run into the emptied target folder, checked afterwards.
template <typename Work>
double FreshRun(const std::string& target, Work&& work, uintmax_t expected) {
    FreshFolder(target);
    double ms = TimeMs(work);
    if (FolderBytes(target) != expected)
        throw std::runtime_error("incomplete copy in " + target);
    return ms;
}

void Report(const char* what, double oursMs, double baseMs, const char* base, double mb,
            bool withTarget = true) {
    const double ratio = baseMs > 0 ? oursMs / baseMs : 0;
    std::printf("     %-34s %8.1f ms  (%6.0f MB/s)\n", what, oursMs, mb / (oursMs / 1000));
    std::printf("     %-34s %8.1f ms  (%6.0f MB/s)   ratio %5.2f", base, baseMs,
                mb / (baseMs / 1000), ratio);
    if (withTarget)
        std::printf("   target < %.2f: %s", kTargetRatio, Verdict(ratio < kTargetRatio));
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const int rounds = IntOption(argc, argv, "rounds", 3);
        const char* countText = std::getenv("TUNRAX_COPY_BENCH_SONGS");
        const int count = countText && std::atoi(countText) > 0 ? std::atoi(countText) : 500;
        ScratchFolder scratch("tunrax-copy-bench");
        const Collection c = MakeCollection(scratch.Path() + "musik/", count);
        const uintmax_t total = static_cast<uintmax_t>(count) * kSongBytes;
        const double mb = static_cast<double>(total) / (1 << 20);
        // Every run writes into the same emptied folder, so that no run
        // pays for writing back what the one before left in the cache.
        const std::string target = scratch.Path() + "ziel/";
        std::printf(
            "  %d songs of 5 MB (%.0f MB), best of %d runs, target emptied and synced "
            "before each run\n",
            count, mb, rounds);

        // a) The local folder source.
        TLocalSource folder(false, c.root);
        std::vector<std::string> cpArgs = {"cp"};
        cpArgs.insert(cpArgs.end(), c.files.begin(), c.files.end());
        cpArgs.push_back(target);
        auto copyOurs = [&] { WizardLoop(folder, c, target); };
        auto copyCp = [&] {
            if (RunQuiet(cpArgs) != 0)
                throw std::runtime_error("cp failed");
        };
        Pair local{1e300, 1e300};
        for (int i = 0; i < rounds; ++i) {
            local.oursMs = std::min(local.oursMs, FreshRun(target, copyOurs, total));
            local.baseMs = std::min(local.baseMs, FreshRun(target, copyCp, total));
        }
        std::printf("  a) local folder source\n");
        Report("TLocalSource + CopySong", local.oursMs, local.baseMs, "cp", mb);

        // b) The FTP source.
        WriteWhole(scratch.Path() + "server.py", kServerScript, std::string(kServerScript).size());
        const int port = test::FreePort();
        test::ServerProcess server;
        server.Start(
            {"/usr/bin/python3", scratch.Path() + "server.py", std::to_string(port), c.root}, port);
        const std::string address = "127.0.0.1:" + std::to_string(port);
        TIniFile settings(scratch.Path() + "tunrax.ini");
        settings.WriteString("Einstellungen", "FTP Adresse", address);
        settings.WriteString("Einstellungen", "FTP Nutzer", "bench");
        settings.WriteString("Einstellungen", "FTP Passwort", EncodePassword("bench", PasswordKey));
        settings.WriteString("Einstellungen", "Root FTP", "/");
        TSourceSettings chosen = TSourceSettings::Read(settings);
        chosen.Type = static_cast<int>(TSourceKind::Ftp);
        std::unique_ptr<TSource> ftp = CreateSource(chosen, nullptr);
        if (!ftp)
            throw std::runtime_error("no FTP source");
        ftp->Connect();
        auto ftpOurs = [&] { WizardLoop(*ftp, c, target); };
        auto ftpCurl = [&] {
            for (size_t i = 0; i < c.songs.size(); ++i) {
                std::string url = "ftp://bench:bench@" + address + CollapseSeparators(c.songs[i]);
                if (RunQuiet({"curl", "-s", "-S", "-o", target + std::to_string(i), url}) != 0)
                    throw std::runtime_error("curl failed: " + url);
            }
        };
        Pair remote{1e300, 1e300};
        for (int i = 0; i < rounds; ++i) {
            remote.oursMs = std::min(remote.oursMs, FreshRun(target, ftpOurs, total));
            remote.baseMs = std::min(remote.baseMs, FreshRun(target, ftpCurl, total));
        }
        std::printf("  b) FTP source (pyftpdlib on loopback, one connection per song)\n");
        Report("TFtpSource + CopySong", remote.oursMs, remote.baseMs, "curl -o, one by one", mb);

        // c) Writing it all to the disk as well.
        double oursCopy = FreshRun(target, copyOurs, total);
        double oursSync = TimeMs([&] { SyncTargetFolder(target); });
        double cpCopy = FreshRun(target, copyCp, total);
        double cpSync = TimeMs([&] { SyncTargetFolder(target); });
        std::printf("  c) a) with the data written to the disk (one run each)\n");
        std::printf("     copy %.1f ms + SyncTargetFolder %.1f ms; cp %.1f ms + syncfs %.1f ms\n",
                    oursCopy, oursSync, cpCopy, cpSync);
        Report("CopySong loop + SyncTargetFolder", oursCopy + oursSync, cpCopy + cpSync,
               "cp + syncfs", mb, false);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "copy_bench: %s\n", e.what());
        return 1;
    }
}
