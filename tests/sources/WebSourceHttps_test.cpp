// The web source over HTTPS against PHP's server behind a TLS front with
// certificates made for the test: what a good certificate serves, and every
// certificate that must be refused, each with its German message and never
// a fall back to plain HTTP.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "io/Error.h"
#include "sources/TlsTrust.h"
#include "sources/WebSource.h"
#include "support/Servers.h"
#include "support/TempDir.h"
#include "support/TlsServers.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

class WebSourceHttpsTest : public ::testing::Test {
protected:
    WebSourceHttpsTest() { WriteFile(tmp / "www/mp3/Band/01-Lied.mp3", "ID3 ein Lied"); }

    // A source for the address that trusts the test authority, as a system
    // store with it would.
    static std::unique_ptr<TWebSource> Trusting(const std::string& address) {
        auto source = std::make_unique<TWebSource>(false, address, "/mp3/");
        source->TrustedAuthorities = TestCertificates::Get().Authority();
        return source;
    }
    // The message of a listing that must fail.
    static std::string Refusal(TWebSource& source) {
        std::vector<std::string> list;
        try {
            source.ListFiles(list, "\\Band\\");
        } catch (const Error& error) {
            return error.what();
        }
        return "listed " + std::to_string(list.size()) + " names";
    }

    TempDir tmp;
    PhpServer php{tmp / "www/", "mp3/"};
};

}  // namespace

TEST(WebSourceAddress, HttpsIsAskedForByItsSchemeAndOldAddressesStayPlain) {
    struct Case {
        const char* address;
        bool secure;
        const char* server;
        int port;
        const char* base;
    } cases[] = {
        {"musik.example", false, "musik.example", 80, "http://musik.example:80/"},
        {"musik.example:8080", false, "musik.example", 8080, "http://musik.example:8080/"},
        {"http://musik.example", false, "musik.example", 80, "http://musik.example:80/"},
        {"https://musik.example", true, "musik.example", 443, "https://musik.example:443/"},
        {"HTTPS://musik.example:8443/", true, "musik.example", 8443, "https://musik.example:8443/"},
        {" https://[::1] ", true, "::1", 443, "https://[::1]:443/"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.address);
        const TWebSource source(false, test.address, "/mp3/");
        EXPECT_EQ(source.Secure, test.secure);
        EXPECT_EQ(source.Server, test.server);
        EXPECT_EQ(source.Port, test.port);
        EXPECT_EQ(source.BaseUrl(), test.base);
    }
    for (const char* bad : {"ftp://musik.example", "https://", "https://:443", "https//x",
                            "https://musik.example/mp3/", "https://u@musik.example"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(TWebSource(false, bad, "/mp3/"), Error);
    }
}

TEST_F(WebSourceHttpsTest, AGoodCertificateServesListingsAndSongs) {
    TlsFront front(php.Port(), "good");
    const auto source = Trusting(front.Address());
    std::vector<std::string> list;
    source->ListFiles(list, "\\Band\\");
    EXPECT_EQ(list, std::vector<std::string>{"01-Lied.mp3"});
    std::ostringstream song;
    source->GetFile(song, "\\Band\\01-Lied.mp3");
    EXPECT_EQ(song.str(), "ID3 ein Lied");
    // A copy for the fetch ahead speaks HTTPS as well.
    std::ostringstream again;
    source->CloneForBackground()->GetFile(again, "\\Band\\01-Lied.mp3");
    EXPECT_EQ(again.str(), "ID3 ein Lied");
}

// Each certificate that must not be trusted is refused with what is wrong
// with it; the server is never asked again without TLS.
TEST_F(WebSourceHttpsTest, EveryUntrustworthyCertificateIsRefusedWithItsReason) {
    const std::string quoted = "\"127.0.0.1\"";
    struct Case {
        const char* kind;
        bool trustTestAuthority;
        std::string message;
    } cases[] = {
        {"expired", true, "Das Zertifikat des Servers " + quoted + " ist abgelaufen."},
        {"wrong-name", true,
         "Das Zertifikat des Servers " + quoted + " gilt nicht für diesen Namen."},
        {"self-signed", true,
         "Das Zertifikat des Servers " + quoted +
             " ist selbst ausgestellt; ihm wird nicht vertraut."},
        {"good", false,
         "Das Zertifikat des Servers " + quoted +
             " stammt von einem unbekannten Aussteller; ihm wird nicht vertraut."},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.kind);
        TlsFront front(php.Port(), test.kind);
        TWebSource source(false, front.Address(), "/mp3/");
        if (test.trustTestAuthority)
            source.TrustedAuthorities = TestCertificates::Get().Authority();
        EXPECT_EQ(Refusal(source), test.message);
    }

    // "https://" to a server without TLS, and "http://" to one with it.
    EXPECT_EQ(Refusal(*Trusting("https://" + php.Address())),
              "Der Server " + quoted +
                  " hat die verschlüsselte Verbindung nicht angenommen; spricht er HTTPS?");
    TlsFront front(php.Port(), "good");
    EXPECT_NE(Refusal(*Trusting("http://127.0.0.1:" + std::to_string(front.Port()))).find("listed"),
              0u)
        << "plain HTTP got an answer from a TLS server";
}

// A self-signed certificate is refused with its fingerprint, trusted by that
// fingerprint, and refused again once the server shows another one.
TEST_F(WebSourceHttpsTest, ACertificateTrustedByItsFingerprintAndNoOther) {
    const TestCertificates& certificates = TestCertificates::Get();
    auto front = std::make_unique<TlsFront>(php.Port(), "self-signed");
    const int port = front->Port();
    TWebSource source(false, front->Address(), "/mp3/");
    std::vector<std::string> list;
    std::string offered;
    try {
        source.ListFiles(list, "\\Band\\");
    } catch (const TUntrustedCertificate& refused) {
        offered = refused.Fingerprint();
    }
    ASSERT_EQ(offered, certificates.Fingerprint("self-signed"));

    source.TrustedCertificate = offered;
    source.ListFiles(list, "\\Band\\");
    EXPECT_EQ(list, std::vector<std::string>{"01-Lied.mp3"});

    // The same address, now with a certificate signed by the test authority
    // for this very name: the trust was in the one certificate only.
    front.reset();
    front = std::make_unique<TlsFront>(php.Port(), "good", port);
    source.TrustedAuthorities = certificates.Authority();
    try {
        source.ListFiles(list, "\\Band\\");
        ADD_FAILURE() << "a changed certificate was accepted";
    } catch (const TUntrustedCertificate& refused) {
        EXPECT_EQ(refused.Fingerprint(), certificates.Fingerprint("good"));
        EXPECT_NE(std::string(refused.what()).find("nicht mehr das, dem Sie vertraut haben"),
                  std::string::npos)
            << refused.what();
    }
}
