// The FTP password in a real keyring: GNOME Keyring on a session bus of the
// test's own, unlocked with a known password, and the settings wizard and the
// main window keeping and reading the password there; then the same where no
// keyring answers.
#include "keyring/KeyringPasswordStore.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTreeView>
#include <filesystem>

#include "app/MainWindow.h"
#include "app/SettingsWizard.h"
#include "gst/GstAudioBackend.h"
#include "settings/IniFile.h"
#include "settings/PasswordScrambling.h"
#include "sources/Source.h"
#include "sources/SourceSettings.h"
#include "support/Servers.h"
#include "support/TempDir.h"
#include "support/WindowInput.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

// A bus listening at address with no service folders: nothing is started on
// demand, neither the system's keyring nor a prompt.
std::string BusConfig(const std::string& address) {
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\""
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig><type>session</type><listen>" +
           address +
           "</listen><auth>EXTERNAL</auth>"
           "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
           "<allow eavesdrop=\"true\"/><allow own=\"*\"/>"
           "</policy></busconfig>\n";
}

// A session bus of its own in folder, ended with the object.
class PrivateBus {
public:
    explicit PrivateBus(const std::string& folder) {
        MakeDirs(folder);
        const std::string socket = folder + "bus";
        Address = "unix:path=" + socket;
        WriteFile(folder + "bus.conf", BusConfig(Address));
        FDaemon.StartUntil({"dbus-daemon", "--nofork", "--config-file=" + folder + "bus.conf"},
                           [socket] { return std::filesystem::exists(socket); });
    }
    QDBusConnection Connect(const char* name) const {
        return QDBusConnection::connectToBus(QString::fromStdString(Address),
                                             QString::fromLatin1(name));
    }
    std::string Address;

private:
    ServerProcess FDaemon;
};

// GNOME Keyring's secrets in a home of its own, on a private session bus
// that the process takes as its session bus. Once for the test program:
// libsecret keeps the first session bus it meets for good.
class KeyringSession : public ::testing::Environment {
public:
    void SetUp() override {
        FHome = std::make_unique<ScopedEnv>("HOME", (FTmp / "home").c_str());
        FData = std::make_unique<ScopedEnv>("XDG_DATA_HOME", (FTmp / "data").c_str());
        FRuntime = std::make_unique<ScopedEnv>("XDG_RUNTIME_DIR", (FTmp / "run").c_str());
        // QtKeychain picks KWallet on a KDE desktop.
        FDesktop = std::make_unique<ScopedEnv>("XDG_CURRENT_DESKTOP", "GNOME");
        MakeDirs(FTmp / "home");
        MakeDirs(FTmp / "run");
        std::filesystem::permissions(FTmp / "run", std::filesystem::perms::owner_all);
        Bus = std::make_unique<PrivateBus>(FTmp / "bus/");
        FBus = std::make_unique<ScopedEnv>("DBUS_SESSION_BUS_ADDRESS", Bus->Address.c_str());
        // The keyring's own password, as a login manager hands it over.
        WriteFile(FTmp / "unlock", "Anmeldung");
        {
            const QDBusConnection probe = Bus->Connect("keyring-probe");
            FKeyring.StartUntil(
                {"sh", "-c",
                 "exec gnome-keyring-daemon --foreground --unlock --components=secrets < " +
                     FTmp / "unlock"},
                [&probe] {
                    return probe.interface()->isServiceRegistered(
                        QStringLiteral("org.freedesktop.secrets"));
                },
                FTmp / "keyring.log");
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("keyring-probe"));
    }
    void TearDown() override {
        FKeyring.Stop();
        Bus.reset();
    }

    std::unique_ptr<PrivateBus> Bus;

private:
    TempDir FTmp;
    std::unique_ptr<ScopedEnv> FHome, FData, FRuntime, FDesktop, FBus;
    ServerProcess FKeyring;
};

KeyringSession* const Session =
    static_cast<KeyringSession*>(::testing::AddGlobalTestEnvironment(new KeyringSession));

// What another program finds in the keyring for the key ("" for nothing).
std::string LookUp(const std::string& key) {
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"),
               {QStringLiteral("lookup"), QStringLiteral("user"), QString::fromStdString(key),
                QStringLiteral("server"), QStringLiteral("Tunrax")});
    tool.waitForFinished(5000);
    return tool.readAllStandardOutput().toStdString();
}

// The names the album tree shows, its top level and one level below.
QStringList AlbumsShown(TMainWindow& form) {
    const QAbstractItemModel* model = Ui(form).tvAlben->model();
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex top = model->index(row, 0);
        names << top.data().toString();
        for (int child = 0; child < model->rowCount(top); ++child)
            names << model->index(child, 0, top).data().toString();
    }
    return names;
}

const char* const kNoKeyringLine =
    "Kein Schlüsselbund gefunden: das Paßwort bleibt verschleiert in tunrax.ini.";

class KeyringTest : public ::testing::Test {
protected:
    WindowTestHome home;
    const std::string file = home.tmp / "tunrax.ini";
};

}  // namespace

TEST_F(KeyringTest, SaveMovesThePasswordIntoTheKeyringAndTheStartReadsItFromThere) {
    WriteFile(home.tmp / "ftp/mp3/tunrax.dat", "Album\r\n");
    MakeDirs(home.tmp / "ftp/mp3/Album/");
    FtpTestServer server(home.tmp / "ftp/");
    // A file of an older version: the password scrambled in it.
    home.settings.WriteInteger("Einstellungen", "Typ", 2);
    home.settings.WriteString("Einstellungen", "FTP Adresse", server.Address());
    home.settings.WriteString("Einstellungen", "FTP Nutzer", "schreiber");
    home.settings.WriteString("Einstellungen", "FTP Passwort",
                              EncodePassword("geheim", PasswordKey));
    TKeyringPasswordStore keyring(QStringLiteral("Tunrax"), Session->Bus->Connect("wizard"));
    {
        TSettingsWizard form(nullptr, home.settings, &keyring);
        ShowStarted(form);
        ClickNext(form);
        EXPECT_EQ(FieldOf(form, "edFTPPasswort")->text(), QStringLiteral("geheim"));
        EXPECT_FALSE(Find<QLabel>(form, "laSchluesselbund")->isVisible());
        ClickNext(form);
        ASSERT_EQ(form.result(), 1);
    }
    const std::string saved = ReadFile(file);
    EXPECT_NE(saved.find("FTP Passwort=\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("FTP Schluesselbund=1\r\n"), std::string::npos) << saved;
    const std::string key = "ftp://schreiber@" + server.Address();
    EXPECT_EQ(LookUp(key), "geheim");

    // The start: the window logs in with the keyring's password and shows
    // the server's catalogue.
    {
        TMainWindow form(home.settings, CreateGStreamerBackend("fakesink"), nullptr, nullptr,
                         &keyring);
        ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
        EXPECT_TRUE(AlbumsShown(form).contains(QStringLiteral("Album")))
            << AlbumsShown(form).join(u',').toStdString();
        EXPECT_EQ(home.boxes.Texts, std::vector<std::string>{});
    }

    // The entry belongs to that user on that server.
    TSourceSettings other = TSourceSettings::Read(home.settings);
    other.FtpAddress = "localhost:" + std::to_string(server.Port());
    EXPECT_EQ(ReadFtpPassword(other, &keyring), "");
    other = TSourceSettings::Read(home.settings);
    other.FtpUser = "leser";
    EXPECT_EQ(ReadFtpPassword(other, &keyring), "");

    // No password: no entry left behind.
    {
        TSettingsWizard form(nullptr, home.settings, &keyring);
        ShowStarted(form);
        ClickNext(form);
        TypeOver(FieldOf(form, "edFTPPasswort"), QString());
        ClickNext(form);
    }
    EXPECT_EQ(LookUp(key), "");
    EXPECT_EQ(ReadFile(file).find("Schluesselbund"), std::string::npos);
}

TEST_F(KeyringTest, WithoutKeyringThePasswordStaysScrambledAndTheWizardSaysSo) {
    PrivateBus emptyBus(home.tmp / "empty-bus/");
    struct Case {
        const char* name;
        QDBusConnection bus;
    } cases[] = {
        {"a bus without keyring", emptyBus.Connect("empty")},
        {"no bus", QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                 QStringLiteral("none"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(file, "[Einstellungen]\r\nTyp=2\r\nFTP Nutzer=schreiber\r\n");
        TIniFile settings(file);
        TKeyringPasswordStore keyring(QStringLiteral("Tunrax"), c.bus);
        QElapsedTimer opening;
        opening.start();
        TSettingsWizard form(nullptr, settings, &keyring);
        ShowStarted(form);
        // The bound of two seconds in KeyringPasswordStore.cpp.
        EXPECT_LT(opening.elapsed(), 2000);
        ClickNext(form);
        const QLabel* line = Find<QLabel>(form, "laSchluesselbund");
        EXPECT_TRUE(line->isVisible());
        EXPECT_EQ(line->text(), QString::fromUtf8(kNoKeyringLine));
        EXPECT_EQ(line->accessibleName(), line->text());
        TypeOver(FieldOf(form, "edFTPPasswort"), QStringLiteral("geheim"));
        ClickNext(form);
        ASSERT_EQ(form.result(), 1);

        const TSourceSettings saved = TSourceSettings::Read(settings);
        EXPECT_EQ(DecodePassword(saved.FtpPasswordScrambled, PasswordKey), "geheim");
        EXPECT_FALSE(saved.FtpPasswordInKeyring);
        EXPECT_EQ(ReadFtpPassword(saved, &keyring), "geheim");

        // A file whose password lies in a keyring that is not there: the
        // start says so rather than log in without it.
        TSourceSettings inKeyring = saved;
        inKeyring.FtpPasswordScrambled.clear();
        inKeyring.FtpPasswordInKeyring = true;
        try {
            CreateSource(inKeyring, nullptr, &keyring);
            ADD_FAILURE() << "an FTP source without its password";
        } catch (const Error& error) {
            EXPECT_NE(std::string(error.what()).find("Schlüsselbund"), std::string::npos)
                << error.what();
        }
    }
}
