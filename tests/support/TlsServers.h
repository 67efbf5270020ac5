// TLS on loopback for the tests: certificates made once per test program
// (a test authority and server certificates signed by it, one self-signed),
// a TLS front that passes each connection on to a plain HTTP server such as
// PhpServer, and an FTP server with explicit TLS. Failures to start throw
// std::runtime_error.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/Servers.h"
#include "support/TempDir.h"

namespace tunrax::test {

// The certificates of this test program, in a folder of their own.
class TestCertificates {
public:
    static const TestCertificates& Get();
    ~TestCertificates();
    TestCertificates(const TestCertificates&) = delete;
    TestCertificates& operator=(const TestCertificates&) = delete;

    // The test authority, as TWebSource::TrustedAuthorities takes it.
    std::string Authority() const { return FFolder + "ca.pem"; }
    // "good" (for 127.0.0.1 and localhost), "wrong-name", "expired" (signed by
    // the authority) and "self-signed": the PEM file and its key.
    std::string Certificate(const std::string& kind) const { return FFolder + kind + ".pem"; }
    std::string Key(const std::string& kind) const { return FFolder + kind + ".key"; }
    // Its SHA-256 fingerprint, "AB:CD:…", as the certificate maker computed it.
    std::string Fingerprint(const std::string& kind) const;

private:
    TestCertificates();
    std::string FFolder;
    pid_t FMaker = 0;
};

// TLS with the certificate of kind on a free loopback port (or port), in front
// of the plain HTTP server at backendPort.
class TlsFront {
public:
    TlsFront(int backendPort, const std::string& kind, int port = 0);

    int Port() const { return FProcess.Port(); }
    // "https://127.0.0.1:PORT", as the "Server Adresse" setting takes it.
    std::string Address() const;

private:
    ServerProcess FProcess;
};

// pyftpdlib with explicit TLS (tests/support/ftp_tls_server.py) and the
// certificate of kind on a free loopback port, serving root to the users of
// FtpTestServer. It requires TLS on the control connection before the
// log-in, on every data connection, and that each data connection resumes
// the control connection's TLS session. options go to the script.
class FtpTlsServer {
public:
    FtpTlsServer(const std::string& root, const std::string& kind,
                 const std::vector<std::string>& options = {});

    // "127.0.0.1:PORT", as the "FTP Adresse" setting takes it.
    std::string Address() const;
    pid_t Pid() const { return FProcess.Pid(); }
    // How many lines of the server's log hold text.
    int Count(const std::string& text) const;

private:
    TempDir FFolder;
    ServerProcess FProcess;
};

}  // namespace tunrax::test
