// The FTP source with explicit TLS against pyftpdlib requiring TLS on the
// control and the data connections and the control session on each data
// connection (as vsftpd and proftpd do), with the certificates made for the
// test; and against scripted servers that refuse TLS, slip clear text behind
// their yes, or drip their handshake.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "io/Error.h"
#include "io/FileTools.h"
#include "sources/FtpSource.h"
#include "sources/TlsTrust.h"
#include "sources/TransferControl.h"
#include "support/ErrorOf.h"
#include "support/Servers.h"
#include "support/TempDir.h"
#include "support/TlsServers.h"
#include "support/WaitUntil.h"

using namespace tunrax;
using namespace tunrax::test;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

std::unique_ptr<TFtpSource> SecureSource(const std::string& address,
                                         const TPaceLimits& pace = TPaceLimits()) {
    auto source = std::make_unique<TFtpSource>(false, address, "schreiber", "geheim", "/mp3/",
                                               false, 5s, pace);
    source->Secure = true;
    source->TrustedAuthorities = TestCertificates::Get().Authority();
    return source;
}

// Bytes that show where a transfer cut off, a little more than a few TLS
// records and socket buffers.
std::string Song(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 131 % 251);
    return bytes;
}

}  // namespace

// The server refuses any data connection that does not resume the control
// connection's session, and every log-in without TLS: each operation here
// works only when both are right.
TEST(FtpSourceTls, ListsFetchesAndStoresWithEveryConnectionProtected) {
    TempDir files;
    const std::string song = Song(3 << 20);
    WriteFile(files / "mp3/tunrax.copy", "");
    WriteFile(files / "mp3/Rock/a.mp3", song);
    WriteFile(files / "mp3/Rock/cover.jpg", "jpg");
    MakeDirs(files / "mp3/Rock/CD1");
    FtpTlsServer server(files.Path(), "good");
    auto source = SecureSource(server.Address());
    source->Connect();
    EXPECT_EQ(source->Capabilities, CanCopy | CanRebuild | CanStoreCatalogue);

    std::vector<std::string> names;
    source->ListFiles(names, "\\Rock\\");
    EXPECT_EQ(names, std::vector<std::string>{"a.mp3"});
    auto scan = source->BeginScan();
    source->ListFolders(names, "\\Rock\\", scan.get());
    EXPECT_EQ(names, std::vector<std::string>{"CD1"});
    scan.reset();

    std::ostringstream fetched;
    source->GetFile(fetched, "\\Rock\\a.mp3");
    EXPECT_TRUE(fetched.str() == song) << fetched.str().size() << " bytes";
    // An upload is whole only once the server has had TLS's goodbye.
    std::istringstream upload(song);
    source->PutFile(upload, "\\Rock\\b.mp3");
    EXPECT_TRUE(ReadFile(files / "mp3/Rock/b.mp3") == song)
        << ReadFile(files / "mp3/Rock/b.mp3").size() << " bytes";

    // The copy for the background speaks TLS as well.
    std::ostringstream again;
    source->CloneForBackground()->GetFile(again, "\\Rock\\a.mp3");
    EXPECT_TRUE(again.str() == song);
    EXPECT_EQ(server.Count("data connection without the control session"), 0);
    EXPECT_GE(server.Count("<- PROT P"), 5);
}

// Each certificate that must not be trusted ends the connection before the
// log-in, with the reason and the fingerprint the user may choose to trust;
// the one trusted by its fingerprint is taken whoever issued it.
TEST(FtpSourceTls, UntrustworthyCertificatesAreRefusedBeforeTheLogin) {
    const TestCertificates& certificates = TestCertificates::Get();
    const std::string server = "Das Zertifikat des Servers \"127.0.0.1\" ";
    struct Case {
        const char* kind;
        bool trustTestAuthority;
        std::string pinned;
        std::string message;
    } cases[] = {
        {"expired", true, "", server + "ist abgelaufen."},
        {"wrong-name", true, "", server + "gilt nicht für diesen Namen."},
        {"self-signed", true, "", server + "ist selbst ausgestellt; ihm wird nicht vertraut."},
        {"good", false, "",
         server + "stammt von einem unbekannten Aussteller; ihm wird nicht vertraut."},
        {"good", true, certificates.Fingerprint("self-signed"),
         server + "ist nicht mehr das, dem Sie vertraut haben. Prüfen Sie den neuen Fingerabdruck, "
                  "bevor Sie ihm vertrauen."},
    };
    TempDir files;
    WriteFile(files / "mp3/a.mp3", "ID3");
    for (const Case& test : cases) {
        SCOPED_TRACE(test.kind);
        FtpTlsServer ftp(files.Path(), test.kind);
        auto source = SecureSource(ftp.Address());
        if (!test.trustTestAuthority)
            source->TrustedAuthorities.clear();
        source->TrustedCertificate = test.pinned;
        const auto start = Clock::now();
        try {
            source->Connect();
            ADD_FAILURE() << "connected";
        } catch (const TUntrustedCertificate& refused) {
            EXPECT_EQ(std::string(refused.what()), test.message);
            EXPECT_EQ(refused.Fingerprint(), certificates.Fingerprint(test.kind));
        } catch (const Error& other) {
            ADD_FAILURE() << "no certificate error: " << other.what();
        }
        EXPECT_LT(Clock::now() - start, 3s);
        EXPECT_EQ(ftp.Count("<- USER"), 0);
        EXPECT_EQ(ftp.Count("<- PASS"), 0);
    }

    FtpTlsServer own(files.Path(), "self-signed");
    auto source = SecureSource(own.Address());
    source->TrustedAuthorities.clear();
    source->TrustedCertificate = certificates.Fingerprint("self-signed");
    std::vector<std::string> names;
    source->ListFiles(names, "\\");
    EXPECT_EQ(names, std::vector<std::string>{"a.mp3"});
}

// A server that will not speak TLS, or slips words of its own behind its
// yes, never gets the log-in; a handshake that drips is bounded like a
// dripping greeting and can be called off.
TEST(FtpSourceTlsHostile, NoLoginWithoutTlsAndAHandshakeThatDripsIsBounded) {
    TPaceLimits quick;
    quick.window = 1s;
    struct Case {
        const char* mode;
        TPaceLimits pace;
        bool cancel;
        std::string message;
        std::chrono::milliseconds bound;
    } cases[] = {
        {"", {}, false, "bietet keine verschlüsselte Verbindung (TLS) an: 502 unbekannt", 2s},
        {"auth=inject", {}, false, "sendet nach AUTH TLS unverschlüsselte Daten", 2s},
        {"auth=drip", quick, false, "zu langsam (weniger als 1 KB in 1 s)", 3s},
        {"auth=drip", {}, true, "abgebrochen", 1500ms},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.mode);
        std::vector<std::string> options;
        if (*test.mode)
            options.push_back(test.mode);
        TempDir folder;
        const int port = FreePort();
        ServerProcess hostile;
        std::vector<std::string> argv{
            "/usr/bin/python3", std::string(TUNRAX_SOURCE_DIR) + "/tests/support/hostile_ftp.py",
            std::to_string(port), folder / "ftp.log"};
        argv.insert(argv.end(), options.begin(), options.end());
        hostile.Start(argv, port);
        const auto logged = [&](const std::string& command) {
            std::ifstream log(folder / "ftp.log");
            int count = 0;
            for (std::string line; std::getline(log, line);)
                count += line.rfind("<- " + command, 0) == 0 ? 1 : 0;
            return count;
        };
        std::thread canceller;
        if (test.cancel)
            canceller = std::thread([&] {
                WaitUntil([&] { return logged("AUTH") > 0; });
                std::this_thread::sleep_for(300ms);  // into the handshake
                CancelRunningTransfers();
            });
        const auto start = Clock::now();
        const std::string message = ErrorOf(
            [&] { SecureSource("127.0.0.1:" + std::to_string(port), test.pace)->Connect(); });
        const auto took = Clock::now() - start;
        if (canceller.joinable())
            canceller.join();
        EXPECT_NE(message.find(test.message), std::string::npos) << message;
        EXPECT_LT(took, test.bound);
        EXPECT_EQ(logged("AUTH TLS"), 1);
        EXPECT_EQ(logged("USER"), 0);
        EXPECT_EQ(logged("PASS"), 0);
    }
}

// Without PROT P the data would go in clear text: no data connection is
// opened, no song fetched.
TEST(FtpSourceTlsHostile, AServerThatWillNotProtectTheDataGetsNoTransfer) {
    TempDir files;
    WriteFile(files / "mp3/a.mp3", "ID3");
    FtpTlsServer server(files.Path(), "good", {"prot=refuse"});
    std::ostringstream song;
    const std::string message =
        ErrorOf([&] { SecureSource(server.Address())->GetFile(song, "\\a.mp3"); });
    EXPECT_NE(message.find("verschlüsselt die Datenverbindungen nicht: 521 PROT P nicht möglich"),
              std::string::npos)
        << message;
    EXPECT_EQ(song.str(), "");
    EXPECT_EQ(server.Count("<- EPSV") + server.Count("<- PASV") + server.Count("<- RETR"), 0);
}
