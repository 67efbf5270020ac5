// How fast the FTP source fetches a song and scans folders, against a
// pyftpdlib server on loopback (/usr/bin/python3) started by the program.
//
// a) GetFile of a 50 MB file into a file against `curl -o` fetching the same
//    file from the same server in the same run (ratio target <= 1.2).
// b) A scan of 2,000 folders (one song and one picture each) over the one
//    connection of BeginScan: time per folder and commands sent per folder,
//    counted in the server's log.
// c) GetFile of the same 50 MB file over explicit TLS (control and data,
//    the data on the control connection's session) from pyftpdlib with TLS
//    (tests/support/ftp_tls_server.py), against `curl --ftp-ssl-reqd` from
//    the same server in the same run: speed relative to curl, target >= 0.8.
// Every figure is the best of several runs with warm caches.
//
// Options: --rounds=N (runs per figure, default 5).

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "sources/FtpSource.h"
#include "support/Servers.h"
#include "support/TlsServers.h"

namespace {

using namespace tunrax;
using namespace tunrax::bench;

const char* const kServerScript = R"(
import logging, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
logging.basicConfig(level=logging.DEBUG)
authorizer = DummyAuthorizer()
authorizer.add_user("bench", "bench", sys.argv[2], perm="elradfmwMT")
FTPHandler.authorizer = authorizer
FTPServer(("127.0.0.1", int(sys.argv[1])), FTPHandler).serve_forever()
)";

constexpr int kFolders = 2000;

void WriteText(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

int CommandsInLog(const std::string& log) {
    std::ifstream in(log);
    std::string line;
    int count = 0;
    while (std::getline(in, line))
        if (line.find("] <- ") != std::string::npos)
            ++count;
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const int rounds = IntOption(argc, argv, "rounds", 5);
        ScratchFolder scratch("tunrax-ftp-bench");
        const std::string root = scratch.Path() + "root/";
        {
            std::filesystem::create_directories(root + "mp3");
            std::ofstream big(root + "mp3/big.mp3", std::ios::binary);
            std::string block(1 << 20, 'x');
            for (int i = 0; i < 50; ++i)
                big << block;
        }
        for (int i = 0; i < kFolders; ++i) {
            std::string folder = root + "mp3/scan/Album " + std::to_string(i) + "/";
            WriteText(folder + "01 Lied.mp3", "x");
            WriteText(folder + "cover.jpg", "x");
        }
        WriteText(scratch.Path() + "server.py", kServerScript);
        const std::string log = scratch.Path() + "server.log";
        const int port = test::FreePort();
        test::ServerProcess server;
        server.Start({"/usr/bin/python3", scratch.Path() + "server.py", std::to_string(port), root},
                     port, log);
        const std::string address = "127.0.0.1:" + std::to_string(port);

        TFtpSource source(false, address, "bench", "bench", "/mp3/", false);
        source.Connect();
        const std::string ours = scratch.Path() + "ours.mp3";
        const std::string theirs = scratch.Path() + "curl.mp3";
        const std::string url = "ftp://bench:bench@" + address + "/mp3/big.mp3";
        Pair fetch = BestOfAlternating(
            rounds,
            [&] {
                std::ofstream out(ours, std::ios::binary | std::ios::trunc);
                source.GetFile(out, "\\big.mp3");
            },
            [&] {
                RunQuiet({"curl", "-s", "-o", theirs, url});
            });
        std::printf("  a) a 50 MB file (%lld bytes received), best of %d runs\n",
                    static_cast<long long>(std::filesystem::file_size(ours)), rounds);
        std::printf("     GetFile                             %7.1f ms\n", fetch.oursMs);
        std::printf(
            "     curl -o                             %7.1f ms   ratio %5.2f   "
            "target <= 1.20: %s\n",
            fetch.baseMs, fetch.Ratio(), Verdict(fetch.Ratio() <= 1.2));

        int commands = 0;
        size_t found = 0;
        double scanMs = BestOf(rounds, [&] {
            int before = CommandsInLog(log);
            auto scan = source.BeginScan();
            std::vector<std::string> albums, below;
            source.ListFolders(albums, "\\scan\\", scan.get());
            for (const std::string& album : albums)
                source.ListFolders(below, "\\scan\\" + album + "\\", scan.get());
            scan.reset();
            found = albums.size();
            commands = CommandsInLog(log) - before;
        });
        std::printf("  b) a scan of %zu folders on one connection, best of %d runs\n", found,
                    rounds);
        std::printf("     whole scan                          %7.1f ms\n", scanMs);
        std::printf("     per folder                          %7.3f ms, %.2f commands\n",
                    scanMs / (found + 1), static_cast<double>(commands) / (found + 1));

        // The TLS server serves the same root; its user "schreiber" may read.
        test::FtpTlsServer secureServer(root, "good");
        TFtpSource secure(false, secureServer.Address(), "schreiber", "geheim", "/mp3/", false);
        secure.Secure = true;
        secure.TrustedAuthorities = test::TestCertificates::Get().Authority();
        secure.Connect();
        const std::string secureUrl =
            "ftp://schreiber:geheim@" + secureServer.Address() + "/mp3/big.mp3";
        bool curlFailed = false;
        std::filesystem::remove(ours);
        std::filesystem::remove(theirs);
        Pair tls = BestOfAlternating(
            rounds,
            [&] {
                std::ofstream out(ours, std::ios::binary | std::ios::trunc);
                secure.GetFile(out, "\\big.mp3");
            },
            [&] {
                curlFailed |= RunQuiet({"curl", "-s", "-f", "--ftp-ssl-reqd", "--cacert",
                                        test::TestCertificates::Get().Authority(), "-o", theirs,
                                        secureUrl}) != 0;
            });
        const auto bigSize = std::filesystem::file_size(root + "mp3/big.mp3");
        std::printf("  c) the 50 MB file over explicit TLS, best of %d runs\n", rounds);
        std::printf("     GetFile (Secure)                    %7.1f ms\n", tls.oursMs);
        if (curlFailed || std::filesystem::file_size(ours) != bigSize ||
            std::filesystem::file_size(theirs) != bigSize) {
            std::printf("     curl --ftp-ssl-reqd failed or sizes differ: WRONG RESULT\n");
            return 0;
        }
        const double speed = tls.oursMs > 0 ? tls.baseMs / tls.oursMs : 0;
        std::printf(
            "     curl --ftp-ssl-reqd                 %7.1f ms   speed %5.2f of curl's   "
            "target >= 0.80: %s\n",
            tls.baseMs, speed, Verdict(speed >= 0.8));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ftp_bench: %s\n", e.what());
        return 1;
    }
}
