#include "support/TlsServers.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tunrax::test {

namespace {

std::string Script(const std::string& name = "tls_server.py") {
    return std::string(TUNRAX_SOURCE_DIR) + "/tests/support/" + name;
}

}  // namespace

TestCertificates::TestCertificates() {
    char folder[] = "/tmp/tunrax-tls-XXXXXX";
    if (!mkdtemp(folder))
        throw std::runtime_error("no folder for the test certificates");
    FFolder = std::string(folder) + "/";
    FMaker = ::getpid();
    // /usr/bin/python3: the one with Debian's python3-cryptography.
    const std::string command = "/usr/bin/python3 '" + Script() + "' make '" + FFolder + "'";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("the test certificates could not be made: " + command);
}

TestCertificates::~TestCertificates() {
    // A death test's child ends with exit() and runs this too; the folder
    // is the parent's, which goes on using it.
    if (::getpid() != FMaker)
        return;
    std::error_code ignored;
    std::filesystem::remove_all(FFolder, ignored);
}

const TestCertificates& TestCertificates::Get() {
    static const TestCertificates made;
    return made;
}

std::string TestCertificates::Fingerprint(const std::string& kind) const {
    std::ifstream in(FFolder + kind + ".sha256");
    std::string text;
    std::getline(in, text);
    return text;
}

TlsFront::TlsFront(int backendPort, const std::string& kind, int port) {
    const TestCertificates& certificates = TestCertificates::Get();
    if (port == 0)
        port = FreePort();
    FProcess.Start(
        {"/usr/bin/python3", Script(), "serve", std::to_string(port), std::to_string(backendPort),
         certificates.Certificate(kind), certificates.Key(kind)},
        port);
}

std::string TlsFront::Address() const {
    return "https://127.0.0.1:" + std::to_string(Port());
}

FtpTlsServer::FtpTlsServer(const std::string& root, const std::string& kind,
                           const std::vector<std::string>& options) {
    const TestCertificates& certificates = TestCertificates::Get();
    const int port = FreePort();
    std::vector<std::string> argv{"/usr/bin/python3",
                                  Script("ftp_tls_server.py"),
                                  std::to_string(port),
                                  root,
                                  certificates.Certificate(kind),
                                  certificates.Key(kind)};
    argv.insert(argv.end(), options.begin(), options.end());
    FProcess.Start(argv, port, FFolder / "ftp.log");
}

std::string FtpTlsServer::Address() const {
    return "127.0.0.1:" + std::to_string(FProcess.Port());
}

int FtpTlsServer::Count(const std::string& text) const {
    std::ifstream log(FFolder / "ftp.log");
    std::string line;
    int count = 0;
    while (std::getline(log, line))
        if (line.find(text) != std::string::npos)
            ++count;
    return count;
}

}  // namespace tunrax::test
