#include "sources/Source.h"

#include <gtest/gtest.h>

#include "io/Error.h"
#include "settings/IniFile.h"
#include "sources/FtpSource.h"
#include "sources/LocalSource.h"
#include "sources/SourceSettings.h"
#include "sources/WebSource.h"
#include "support/RecordingProgress.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

// Only what the base class leaves abstract.
class BareSource : public TSource {
public:
    using TSource::TSource;
    void GetFile(std::ostream&, const std::string&) override {}
    void ListFiles(std::vector<std::string>&, const std::string&) override {}
};

}  // namespace

TEST(Transfer, FactoryMakesTheSourceOfTheType) {
    TempDir tmp;
    TIniFile settings(tmp / "settings.ini");
    settings.WriteString("Einstellungen", "Verzeichnis", tmp / "Musik");
    RecordingProgress bar;
    TSourceSettings chosen = TSourceSettings::Read(settings);
    for (bool alternative : {false, true}) {
        SCOPED_TRACE(alternative ? "alternative" : "standard");
        chosen.Type = 0;
        chosen.Alternative = alternative;
        auto source = CreateSource(chosen, &bar);
        ASSERT_NE(source, nullptr);
        EXPECT_NE(dynamic_cast<TLocalSource*>(source.get()), nullptr);
        EXPECT_EQ(source->Capabilities, CanCopy | CanRebuild | CanStoreCatalogue);
        EXPECT_EQ(source->Alternative, alternative);
        EXPECT_EQ(source->ProgressBar, &bar);
        EXPECT_EQ(source->Root, tmp / "Musik/");
    }
    // The web source talks to its server only when asked for something.
    chosen.Type = 1;
    auto web = CreateSource(chosen, &bar);
    ASSERT_NE(dynamic_cast<TWebSource*>(web.get()), nullptr);
    EXPECT_EQ(web->Capabilities, 0);
    EXPECT_EQ(web->Root, "/mp3/");
    EXPECT_EQ(web->ProgressBar, &bar);
    // Making the FTP source asks nobody; connecting asks the server what it
    // may do, and a server that is not there reaches the caller as an error.
    chosen.Type = 2;
    chosen.FtpAddress = "127.0.0.1:1";
    auto ftp = CreateSource(chosen, &bar);
    ASSERT_NE(dynamic_cast<TFtpSource*>(ftp.get()), nullptr);
    EXPECT_THROW(ftp->Connect(), Error);
    chosen.FtpAddress = "[::1";
    EXPECT_THROW(CreateSource(chosen, &bar), Error);
    for (int type : {3, -1, 255}) {
        chosen.Type = type;
        EXPECT_EQ(CreateSource(chosen, &bar), nullptr);
    }
}

// The settings file is the user's and earlier versions': the keys, their
// defaults and the order of the lines stay as they were.
TEST(Transfer, SourceSettingsKeepTheStoredKeys) {
    TempDir tmp;
    ScopedEnv home("HOME", (tmp / "home").c_str());
    ScopedEnv config("XDG_CONFIG_HOME", (tmp / "config").c_str());
    MakeDirs(tmp / "home/Musik");
    TIniFile settings(tmp / "settings.ini");
    TSourceSettings fresh = TSourceSettings::Read(settings);
    EXPECT_EQ(fresh.Type, -1);
    EXPECT_FALSE(fresh.Kind());
    EXPECT_EQ(fresh.Folder, tmp / "home/Musik/");
    EXPECT_EQ(fresh.WebAddress, "localhost");
    EXPECT_EQ(fresh.WebRoot, "/mp3/");
    EXPECT_EQ(fresh.FtpAddress, "localhost");
    EXPECT_EQ(fresh.FtpUser, "tunrax");
    EXPECT_EQ(fresh.FtpRoot, "/mp3/");

    settings.WriteString("Andere", "Schlüssel", "bleibt");
    TSourceSettings chosen = fresh;
    chosen.Type = 2;
    chosen.Alternative = true;
    chosen.WebAddress = "musik.example:8080";
    chosen.FtpUser = "ich";
    chosen.FtpPasswordScrambled = "0A1B";
    chosen.FtpUtf8 = true;
    chosen.Write(settings);
    EXPECT_EQ(ReadFile(tmp / "settings.ini"),
              "[Andere]\r\nSchlüssel=bleibt\r\n"
              "[Einstellungen]\r\nServer Adresse=musik.example:8080\r\nRoot Server=/mp3/\r\n"
              "FTP Adresse=localhost\r\nRoot FTP=/mp3/\r\nFTP Nutzer=ich\r\n"
              "FTP Passwort=0A1B\r\nFTP UTF8=1\r\nAlternativ=1\r\nTyp=2\r\n");
    const TSourceSettings again = TSourceSettings::Read(TIniFile(tmp / "settings.ini"));
    EXPECT_EQ(again.Kind(), TSourceKind::Ftp);
    EXPECT_TRUE(again.Alternative);
    EXPECT_EQ(again.FtpUser, "ich");
    EXPECT_TRUE(again.FtpUtf8);
    // A folder of its own is written; the default is not, so that it follows
    // the user's music folder.
    chosen.Folder = tmp / "woanders/";
    chosen.Write(settings);
    EXPECT_EQ(TSourceSettings::Read(settings).Folder, tmp / "woanders/");

    // TLS and a trusted certificate come back; the certificate only for the
    // address it was trusted for.
    chosen.FtpTls = true;
    chosen.FtpCertificate = TrustEntry(" ftp.example:2121 ", "AB:CD");
    chosen.Write(settings);
    const TSourceSettings secure = TSourceSettings::Read(settings);
    EXPECT_TRUE(secure.FtpTls);
    EXPECT_EQ(secure.FtpCertificate, "ftp.example:2121 AB:CD");
    EXPECT_EQ(TrustedFingerprint(secure.FtpCertificate, "ftp.example:2121"), "AB:CD");
    EXPECT_EQ(TrustedFingerprint(secure.FtpCertificate, "ftp.example"), "");
    EXPECT_EQ(TrustedFingerprint(secure.FtpCertificate, "anderer.example:2121"), "");
    EXPECT_EQ(TrustedFingerprint("", "ftp.example:2121"), "");
}

TEST(Transfer, BaseClassJoinsWithSlashes) {
    BareSource source(true);
    EXPECT_EQ(source.Capabilities, 0);
    EXPECT_TRUE(source.Alternative);
    EXPECT_EQ(source.NormalizePath("\\a\\\\b\\"), "/a/b/");
    EXPECT_EQ(source.NormalizePath("///"), "//");
    EXPECT_EQ(source.NormalizePath("/mp3/" + std::string("\\Rock\\")), "/mp3/Rock/");
}
