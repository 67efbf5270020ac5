// How fast the web-server source fetches a song over HTTPS, measured against
// curl(1) fetching the same file from the same server in the same run.
//
// A file of 50 MB is served by the PHP built-in web server running our server
// script, behind a TLS front with the test certificate for 127.0.0.1 (made by
// tests/support/tls_server.py). The front is nginx as a reverse proxy when it
// is installed: the Python front of the tests would measure Python. Both
// clients trust the test authority and check the name; TWebSource::GetFile
// writes into a file, as the player does with every song, and
// `curl -s -o FILE URL` does the same. Every figure is the best of several
// runs; speed is curl's time over Tunrax's (curl's includes starting the
// process), the target at least 0.8.
//
// Options: --rounds=N (runs per figure, default 5), --megabytes=N (default 50).

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "bench/bench_support.h"
#include "sources/WebSource.h"
#include "support/Servers.h"
#include "support/TlsServers.h"

namespace {

using namespace tunrax;
using namespace tunrax::bench;

constexpr double kTargetSpeed = 0.8;
constexpr const char* kNginx = "/usr/sbin/nginx";

size_t FileSize(const std::string& path) {
    std::error_code ignored;
    const auto size = std::filesystem::file_size(path, ignored);
    return ignored ? 0 : static_cast<size_t>(size);
}

// nginx terminating TLS in front of the plain server at backendPort.
class NginxFront {
public:
    NginxFront(int backendPort, const std::string& scratch) {
        const test::TestCertificates& certificates = test::TestCertificates::Get();
        const int port = test::FreePort();
        std::filesystem::create_directories(scratch + "temp");
        std::ofstream(scratch + "nginx.conf")
            << "worker_processes 1;\n"
            << "pid " << scratch << "nginx.pid;\n"
            << "error_log " << scratch << "nginx-error.log warn;\n"
            << "events {}\n"
            << "http {\n"
            << "  access_log off;\n"
            << "  client_body_temp_path " << scratch << "temp;\n"
            << "  proxy_temp_path " << scratch << "temp;\n"
            << "  server {\n"
            << "    listen 127.0.0.1:" << port << " ssl;\n"
            << "    ssl_certificate " << certificates.Certificate("good") << ";\n"
            << "    ssl_certificate_key " << certificates.Key("good") << ";\n"
            << "    location / {\n"
            << "      proxy_pass http://127.0.0.1:" << backendPort << ";\n"
            << "      proxy_buffering off;\n"
            << "    }\n"
            << "  }\n"
            << "}\n";
        FProcess.Start({kNginx, "-p", scratch, "-c", scratch + "nginx.conf", "-e",
                        scratch + "nginx-error.log", "-g", "daemon off;"},
                       port, scratch + "nginx.out");
    }
    std::string Address() const { return "https://127.0.0.1:" + std::to_string(FProcess.Port()); }

private:
    test::ServerProcess FProcess;
};

}  // namespace

int main(int argc, char** argv) try {
    const int rounds = IntOption(argc, argv, "rounds", 5);
    const int megabytes = IntOption(argc, argv, "megabytes", 50);
    ScratchFolder scratch("tunrax-https-bench");
    const std::string root = scratch.Path() + "www/";
    const size_t size = static_cast<size_t>(megabytes) * 1024 * 1024;
    std::filesystem::create_directories(root);
    WriteSongFile(root + "song.mp3", megabytes);
    if (RunQuiet({"curl", "--version"}) != 0) {
        std::printf("  curl(1) could not be run; no baseline, nothing measured\n");
        return 0;
    }

    test::PhpServer server(root);
    const bool nginx = std::filesystem::exists(kNginx);
    std::unique_ptr<NginxFront> fast;
    std::unique_ptr<test::TlsFront> python;
    std::string address;
    if (nginx) {
        fast = std::make_unique<NginxFront>(server.Port(), scratch.Path());
        address = fast->Address();
    } else {
        python = std::make_unique<test::TlsFront>(server.Port(), "good");
        address = python->Address();
    }
    std::printf("Tunrax web-server source benchmark over HTTPS\n");
    std::printf("  one file of %d MB over loopback from php -S and our server script behind %s\n",
                megabytes, nginx ? "nginx (TLS)" : "the Python TLS front of the tests");
    std::printf("  best of %d runs each; speed = curl(1) time / Tunrax time\n\n", rounds);

    TWebSource source(false, address, "/");
    source.TrustedAuthorities = test::TestCertificates::Get().Authority();
    const std::string ours = scratch.Path() + "ours.mp3";
    const std::string theirs = scratch.Path() + "curl.mp3";
    const std::string url = source.BaseUrl() + "tunrax.php?datei=song.mp3";
    bool curlFailed = false;
    Pair p = BestOfAlternating(
        rounds,
        [&] {
            std::ofstream dest(ours, std::ios::binary | std::ios::trunc);
            source.GetFile(dest, "song.mp3");
        },
        [&] {
            curlFailed |= RunQuiet({"curl", "-s", "-f", "--cacert", source.TrustedAuthorities, "-o",
                                    theirs, url}) != 0;
        });

    std::printf("  a) GetFile of song.mp3 over HTTPS into a file\n");
    std::printf("     %-40s %9.1f ms\n", "TWebSource::GetFile (Secure)", p.oursMs);
    if (curlFailed || FileSize(ours) != size || FileSize(theirs) != size) {
        std::printf("     %-40s failed or sizes differ: WRONG RESULT\n", "curl -s --cacert -o");
        return 0;
    }
    const double speed = p.oursMs > 0 ? p.baseMs / p.oursMs : 0;
    std::printf("     %-40s %9.1f ms   speed %5.2f   target >= %.2f: %s\n", "curl -s --cacert -o",
                p.baseMs, speed, kTargetSpeed, Verdict(speed >= kTargetSpeed));
    return 0;
} catch (const std::exception& e) {
    std::fprintf(stderr, "https_bench: %s\n", e.what());
    return 1;
}
