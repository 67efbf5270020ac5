// Trusting a server's certificate in the settings wizard, as a person does
// it: the check refuses a self-signed certificate and shows its fingerprint,
// "Diesem Zertifikat vertrauen" takes it, "Speichern" keeps it for that
// address, and the program then uses it; "Vertrauen entfernen" gives it up.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <sstream>

#include "app/SettingsWizard.h"
#include "io/FileTools.h"
#include "settings/IniFile.h"
#include "sources/Source.h"
#include "sources/SourceSettings.h"
#include "support/Servers.h"
#include "support/TempDir.h"
#include "support/TlsServers.h"
#include "support/WindowInput.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

QString Pairs(const std::string& fingerprint) {
    const QString text = QString::fromStdString(fingerprint);
    return text.left(48) + QLatin1Char('\n') + text.mid(48);
}

// Presses a button of the wizard, with the space bar when keys is set.
void Press(QWidget& form, const char* name, bool keys = false) {
    auto* button = Find<QPushButton>(form, name);
    ASSERT_TRUE(button && button->isVisible()) << name << " is not shown";
    if (keys) {
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
    } else {
        QTest::mouseClick(button, Qt::LeftButton);
    }
}

bool Shown(QWidget& form, const char* name) {
    auto* widget = Find<QWidget>(form, name);
    return widget && widget->isVisible();
}

}  // namespace

TEST(SettingsWizardTrust, ASelfSignedServerIsTrustedByItsFingerprintKeptAndGivenUp) {
    TempDir tmp;
    ScopedEnv home{"HOME", tmp.Path().c_str()};
    WriteFile(tmp / "www/mp3/tunrax.dat", "Band\r\n");
    WriteFile(tmp / "www/mp3/Band/01-Lied.mp3", "ID3 ein Lied");
    PhpServer php(tmp / "www/", "mp3/");
    TlsFront front(php.Port(), "self-signed");
    const std::string fingerprint = TestCertificates::Get().Fingerprint("self-signed");
    const std::string file = tmp / "tunrax.ini";
    WriteFile(file, "[Einstellungen]\r\nTyp=1\r\nServer Adresse=" + front.Address() + "\r\n");
    TIniFile settings(file);
    MessageBoxReader boxes;

    {
        TSettingsWizard form(nullptr, settings);
        ShowStarted(form);
        ClickNext(form);
        EXPECT_FALSE(Shown(form, "btnVertrauenHTTP")) << "offered before any check";
        Press(form, "btnPruefenHTTP");
        const QString refused = Find<QLabel>(form, "laPruefungHTTP")->text();
        EXPECT_EQ(refused, QStringLiteral("Das Zertifikat des Servers \"127.0.0.1\" ist selbst "
                                          "ausgestellt; ihm wird nicht vertraut.\n"
                                          "Fingerabdruck (SHA-256):\n") +
                               Pairs(fingerprint));
        // Trusted with the keyboard alone; the page checks again at once.
        Press(form, "btnVertrauenHTTP", true);
        EXPECT_EQ(Find<QLabel>(form, "laPruefungHTTP")->text(),
                  QStringLiteral("Verbindung in Ordnung, Katalog gefunden"));
        EXPECT_FALSE(Shown(form, "btnVertrauenHTTP"));
        ASSERT_TRUE(Shown(form, "laZertifikatHTTP"));
        EXPECT_TRUE(Find<QLabel>(form, "laZertifikatHTTP")->text().endsWith(Pairs(fingerprint)));
        EXPECT_EQ(ReadFile(file).find("Zertifikat"), std::string::npos) << "kept before saving";
        ClickNext(form);
        EXPECT_EQ(form.result(), 1);
    }
    EXPECT_NE(
        ReadFile(file).find("Server Zertifikat=" + front.Address() + " " + fingerprint + "\r\n"),
        std::string::npos)
        << ReadFile(file);

    // The program's own source from the saved settings trusts it too.
    const std::unique_ptr<TSource> source = CreateSource(TSourceSettings::Read(settings), nullptr);
    std::vector<std::string> songs;
    source->ListFiles(songs, "\\Band\\");
    EXPECT_EQ(songs, std::vector<std::string>{"01-Lied.mp3"});

    {
        TSettingsWizard form(nullptr, settings);
        ShowStarted(form);
        ClickNext(form);
        ASSERT_TRUE(Shown(form, "laZertifikatHTTP"));
        Press(form, "btnVertrauenEntfernenHTTP");
        EXPECT_FALSE(Shown(form, "laZertifikatHTTP"));
        Press(form, "btnPruefenHTTP");
        EXPECT_TRUE(Find<QLabel>(form, "laPruefungHTTP")
                        ->text()
                        .startsWith(QStringLiteral("Das Zertifikat des Servers \"127.0.0.1\" ist "
                                                   "selbst ausgestellt")));
        ClickNext(form);
    }
    EXPECT_EQ(ReadFile(file).find("Zertifikat"), std::string::npos) << ReadFile(file);
    EXPECT_EQ(boxes.Texts, std::vector<std::string>{});
}

// The FTP page: "Verschlüsselung (TLS)" on, a self-signed server trusted, and
// the program's source from the saved settings logs in over TLS with it (the
// server takes no log-in without TLS).
TEST(SettingsWizardTrust, AnFtpServerWithTlsIsTrustedAndSavedWithIt) {
    TempDir tmp;
    ScopedEnv home{"HOME", tmp.Path().c_str()};
    WriteFile(tmp / "ftp/mp3/tunrax.dat", "Band\r\n");
    FtpTlsServer server(tmp / "ftp", "self-signed");
    const std::string fingerprint = TestCertificates::Get().Fingerprint("self-signed");
    const std::string file = tmp / "tunrax.ini";
    WriteFile(file, "[Einstellungen]\r\nTyp=2\r\nFTP Adresse=" + server.Address() +
                        "\r\nFTP Nutzer=schreiber\r\n");
    TIniFile settings(file);
    MessageBoxReader boxes;
    {
        TSettingsWizard form(nullptr, settings);
        ShowStarted(form);
        ClickNext(form);
        TypeOver(FieldOf(form, "edFTPPasswort"), QStringLiteral("geheim"));
        auto* tls = BoxOf(form, "cbFTPTLS");
        EXPECT_FALSE(tls->isChecked()) << "TLS on in a file without the key";
        EXPECT_EQ(tls->text().remove(QLatin1Char('&')), QStringLiteral("Verschlüsselung (TLS)"));
        MarkAs(tls, true);
        Press(form, "btnPruefenFTP");
        EXPECT_TRUE(Find<QLabel>(form, "laPruefungFTP")
                        ->text()
                        .endsWith(QStringLiteral("ist selbst ausgestellt; ihm wird nicht "
                                                 "vertraut.\nFingerabdruck (SHA-256):\n") +
                                  Pairs(fingerprint)))
            << Find<QLabel>(form, "laPruefungFTP")->text().toStdString();
        Press(form, "btnVertrauenFTP");
        EXPECT_EQ(Find<QLabel>(form, "laPruefungFTP")->text(),
                  QStringLiteral("Verbindung in Ordnung, Katalog gefunden"));
        ClickNext(form);
        EXPECT_EQ(form.result(), 1);
    }
    const std::string saved = ReadFile(file);
    EXPECT_NE(saved.find("FTP TLS=1\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("FTP Zertifikat=" + server.Address() + " " + fingerprint + "\r\n"),
              std::string::npos)
        << saved;
    const std::unique_ptr<TSource> source = CreateSource(TSourceSettings::Read(settings), nullptr);
    source->Connect();
    std::ostringstream catalogue;
    source->GetFile(catalogue, "tunrax.dat");
    EXPECT_EQ(catalogue.str(), "Band\r\n");
    EXPECT_EQ(boxes.Texts, std::vector<std::string>{});
}
