// The settings wizard on real settings files, and how the main window uses it.
#include "app/SettingsWizard.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include <QAccessible>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "app/MainWindow.h"
#include "gst/GstAudioBackend.h"
#include "io/Error.h"
#include "io/FileTools.h"
#include "settings/IniFile.h"
#include "settings/PasswordScrambling.h"
#include "sources/Source.h"
#include "support/LocalSource.h"
#include "support/Servers.h"
#include "support/TempDir.h"
#include "support/WindowInput.h"
#include "widgets/DirectoryEdit.h"
#include "widgets/Wizard.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

// The choice of "Musik-Dateien" shown: 0 "lokal", 1 "HTTP", 2 "FTP", -1 none.
int TypShown(TSettingsWizard& form) {
    const char* const items[] = {"lokal", "HTTP", "FTP"};
    for (int i = 0; i < 3; ++i)
        if (Find<QRadioButton>(form, items[i])->isChecked())
            return i;
    return -1;
}
void ChooseTyp(TSettingsWizard& form, const char* item) {
    ClickMark(Find<QRadioButton>(form, item));
}

class SettingsWizardTest : public ::testing::Test {
protected:
    SettingsWizardTest() { MakeDirs(home + "Musik/"); }

    // Opens the wizard and waits until it shows what it started with.
    std::unique_ptr<TSettingsWizard> Open() {
        auto form = std::make_unique<TSettingsWizard>(nullptr, settings);
        ShowStarted(*form);
        return form;
    }

    // Stores settings, then opens the wizard and goes on to the page of the
    // kind of place they choose.
    std::unique_ptr<TSettingsWizard> OpenOnServerPage(const std::string& stored) {
        WriteFile(file, stored);
        FStored = std::make_unique<TIniFile>(file);
        auto form = std::make_unique<TSettingsWizard>(nullptr, *FStored);
        ShowStarted(*form);
        ClickNext(*form);
        return form;
    }

    TempDir tmp;
    const std::string home = tmp / "home/";
    ScopedEnv homeEnv{"HOME", home.c_str()};
    ScopedEnv configEnv{"XDG_CONFIG_HOME", (tmp / "config").c_str()};
    ScopedEnv runtime{"XDG_RUNTIME_DIR", tmp.Path().c_str()};
    const std::string file = tmp / "tunrax.ini";
    TIniFile settings{file};
    std::unique_ptr<TIniFile> FStored;
};

}  // namespace

TEST_F(SettingsWizardTest, FirstOpenShowsDefaultsAndSavesTheChosenType) {
    auto form = Open();
    EXPECT_EQ(TypShown(*form), 0);
    EXPECT_EQ(FieldOf(*form, "edIP")->text(), QStringLiteral("localhost"));
    EXPECT_EQ(FieldOf(*form, "edRoot")->text(), QStringLiteral("/mp3/"));
    EXPECT_EQ(FieldOf(*form, "edFTPServer")->text(), QStringLiteral("localhost"));
    EXPECT_EQ(FieldOf(*form, "edFTPVerzeichnis")->text(), QStringLiteral("/mp3/"));
    EXPECT_EQ(FieldOf(*form, "edFTPNutzer")->text(), QStringLiteral("tunrax"));
    EXPECT_EQ(FieldOf(*form, "edFTPPasswort")->text(), QString());
    EXPECT_EQ(FieldOf(*form, "edDir")->text().toStdString(), home + "Musik/");
    EXPECT_FALSE(BoxOf(*form, "cbAltenative")->isChecked());
    EXPECT_FALSE(BoxOf(*form, "cbFTPUTF8")->isChecked());

    // FTP, Next, Back, HTTP, Next: the page of the last choice.
    ChooseTyp(*form, "FTP");
    ClickNext(*form);
    EXPECT_EQ(WizardOf(*form)->ActivePage(), PageOf(*form, "wpFTP"));
    EXPECT_EQ(WizardOf(*form)->BtnNext.Button()->text(), QStringLiteral("&Speichern"));
    ClickBack(*form);
    ChooseTyp(*form, "HTTP");
    ClickNext(*form);
    EXPECT_EQ(WizardOf(*form)->ActivePage(), PageOf(*form, "wpHTTP"));
    TypeOver(FieldOf(*form, "edIP"), QStringLiteral("musik.example"));
    ClickNext(*form);
    EXPECT_EQ(form->result(), 1);

    // The local folder equals the default: the key stays out.
    const std::string text = ReadFile(file);
    const auto passwordStart = text.find("FTP Passwort=") + 13;
    const std::string password =
        text.substr(passwordStart, text.find('\r', passwordStart) - passwordStart);
    EXPECT_EQ(text,
              "[Einstellungen]\r\nServer Adresse=musik.example\r\nRoot Server=/mp3/\r\n"
              "FTP Adresse=localhost\r\nRoot FTP=/mp3/\r\nFTP Nutzer=tunrax\r\n"
              "FTP Passwort=" +
                  password + "\r\nFTP UTF8=0\r\nAlternativ=0\r\nTyp=1\r\n");
}

TEST_F(SettingsWizardTest, PasswordAndFolderRoundTripAndCancelKeepsTheFile) {
    {
        // The folder typed on the page "lokal", then FTP chosen and saved.
        auto form = Open();
        ClickNext(*form);
        TypeOver(FieldOf(*form, "edDir"), QStringLiteral("/srv/Musik mit Ä/"));
        ClickBack(*form);
        ChooseTyp(*form, "FTP");
        ClickNext(*form);
        TypeOver(FieldOf(*form, "edFTPPasswort"), QStringLiteral("gehe1m ä"));
        MarkAs(BoxOf(*form, "cbFTPUTF8"), true);
        ClickNext(*form);
    }
    const std::string saved = ReadFile(file);
    EXPECT_EQ(saved.find("gehe1m"), std::string::npos) << "password stored scrambled";
    EXPECT_NE(saved.find("Verzeichnis=/srv/Musik mit \xC3\x84/\r\n"), std::string::npos);
    {
        auto form = Open();
        EXPECT_EQ(FieldOf(*form, "edFTPPasswort")->text(), QStringLiteral("gehe1m ä"));
        EXPECT_EQ(TypShown(*form), 2);
        EXPECT_TRUE(BoxOf(*form, "cbFTPUTF8")->isChecked());
        ClickNext(*form);
        TypeOver(FieldOf(*form, "edFTPPasswort"), QStringLiteral("anders"));
        ClickBack(*form);
        ChooseTyp(*form, "lokal");
        ClickNext(*form);
        Click(WizardOf(*form)->BtnCancel.Button());
        EXPECT_NE(form->result(), 1);
    }
    EXPECT_EQ(ReadFile(file), saved);
}

TEST_F(SettingsWizardTest, UnreadableStoredValuesKeepTheirBytes) {
    // A folder name from another system (Latin-1 "Ä") and a damaged password.
    WriteFile(file,
              "[Einstellungen]\r\nTyp=2\r\nVerzeichnis=/srv/\xC4/\r\nFTP Passwort=XYZ\r\n"
              "Root FTP=/lieder/\r\nFTP UTF8=1\r\n");
    TIniFile reopened(file);
    MessageBoxReader boxes;
    TSettingsWizard form(nullptr, reopened);
    form.show();
    ASSERT_TRUE(boxes.WaitFor(1)) << "no error for the damaged password";
    EXPECT_NE(boxes.Texts[0].find("FTP-Paßwort"), std::string::npos);
    EXPECT_EQ(FieldOf(form, "edFTPVerzeichnis")->text(), QStringLiteral("/lieder/"));
    EXPECT_TRUE(BoxOf(form, "cbFTPUTF8")->isChecked());
    ClickNext(form);
    ClickNext(form);
    EXPECT_EQ(form.result(), 1);
    EXPECT_EQ(boxes.Texts.size(), 1u);
    TIniFile check(file);
    EXPECT_EQ(check.ReadString("Einstellungen", "Verzeichnis", ""), "/srv/\xC4/");
    EXPECT_EQ(check.ReadString("Einstellungen", "Root FTP", ""), "/lieder/");
    EXPECT_EQ(DecodePassword(check.ReadString("Einstellungen", "FTP Passwort", "?"), PasswordKey),
              "");
}

namespace {

// Answers the settings wizard opened by the main window as a person does:
// "lokal" as chosen, on to its page, the folder typed over the one shown,
// "&Speichern".
void SaveLocalFolder(TSettingsWizard& setup, const std::string& folder) {
    ASSERT_EQ(TypShown(setup), 0);
    QTest::mouseClick(WizardOf(setup)->BtnNext.Button(), Qt::LeftButton);
    ASSERT_EQ(WizardOf(setup)->ActivePage(), PageOf(setup, "wpLokal"));
    TypeOver(FieldOf(setup, "edDir"), QString::fromStdString(folder));
    ASSERT_EQ(WizardOf(setup)->BtnNext.Button()->text(), QStringLiteral("&Speichern"));
    QTest::mouseClick(WizardOf(setup)->BtnNext.Button(), Qt::LeftButton);
}

void Cancel(TSettingsWizard& setup) {
    QTest::mouseClick(WizardOf(setup)->BtnCancel.Button(), Qt::LeftButton);
}

}  // namespace

TEST_F(SettingsWizardTest, SettingsThatCannotBeReadAreNamedKeptAndNotOfferedForReplacing) {
    // Larger than any settings file: refused unread (sparse, it costs nothing).
    {
        std::ofstream out(file, std::ios::binary);
        out << "[Einstellungen]\r\nTyp=0\r\n";
    }
    ASSERT_EQ(::truncate(file.c_str(), (off_t{64} << 20) + 1), 0);
    TIniFile tooLarge(file);
    MessageBoxReader boxes;
    TMainWindow form(tooLarge, CreateGStreamerBackend("fakesink"));
    ModalAnswer<TSettingsWizard> wizard(Cancel);
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.Texts.empty() && !form.isVisible(); }, 5000))
        << "the program went on";
    EXPECT_EQ(wizard.Count(), 0) << "the first start's wizard offered to replace the settings";
    ASSERT_EQ(boxes.Texts.size(), 1u);
    EXPECT_NE(
        boxes.Texts[0].find("Die Einstellungsdatei \"" + file + "\" kann nicht gelesen werden"),
        std::string::npos)
        << boxes.Texts[0];
    EXPECT_EQ(FileSizeOf(file), (int64_t{64} << 20) + 1) << "the file was touched";
}

TEST_F(SettingsWizardTest, MainWindowAsksOnFirstStartAndReloadsAfterSaving) {
    const std::string collection = tmp / "Sammlung/";
    WriteFile(collection + "tunrax.dat", "Album\r\n");
    WriteFile(collection + "Album/01-Alt.mp3", "x");
    MessageBoxReader boxes;  // an error box would hold the test
    {
        // No choice in the wizard: the program ends.
        TMainWindow form(settings, CreateGStreamerBackend("fakesink"));
        ModalAnswer<TSettingsWizard> cancel(Cancel);
        form.show();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return cancel.Count() == 1 && !form.isVisible(); }, 5000));
        EXPECT_FALSE(form.Source());
    }
    TMainWindow form(settings, CreateGStreamerBackend("fakesink"));
    {
        ModalAnswer<TSettingsWizard> save([&](TSettingsWizard& setup) {
            LetPlaybackTicksPass(5);  // the playback timer ticks while the wizard is open
            SaveLocalFolder(setup, collection);
        });
        ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
        EXPECT_EQ(save.Count(), 1);
    }
    EXPECT_TRUE(form.windowTitle().startsWith(QStringLiteral("Tunrax (")))
        << form.windowTitle().toStdString();
    ASSERT_TRUE(form.Source());
    EXPECT_EQ(form.Source()->Root, collection);
    EXPECT_TRUE(Ui(form).Einstellungen1->isEnabled());

    // Another collection saved: the songs of the old one go.
    const std::string other = tmp / "Andere/";
    WriteFile(other + "tunrax.dat", "Erstes\r\nZweites\r\n");
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Album\\"));
    ASSERT_EQ(Ui(form).lvLieder->topLevelItemCount(), 1);
    {
        ModalAnswer<TSettingsWizard> save(
            [&](TSettingsWizard& setup) { SaveLocalFolder(setup, other); });
        ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Einstellungen1));
        EXPECT_EQ(save.Count(), 1);
    }
    EXPECT_EQ(Ui(form).lvLieder->topLevelItemCount(), 0) << "songs of the old source stay listed";
    EXPECT_EQ(form.Source()->Root, other);
    EXPECT_EQ(Ui(form).AlbumModel->Catalogue().Count(), 2);
    EXPECT_EQ(Ui(form).tvAlben->model()->rowCount(), 2) << "the album tree of the old source stays";
    // Cancelled: the source stays.
    TSource* before = form.Source().Get();
    {
        ModalAnswer<TSettingsWizard> cancel(Cancel);
        ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Einstellungen1));
        EXPECT_EQ(cancel.Count(), 1);
    }
    EXPECT_EQ(form.Source().Get(), before);
    ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Beenden1));
    EXPECT_EQ(boxes.Texts, std::vector<std::string>{});
}

namespace {

const QString kFound = QStringLiteral("Verbindung in Ordnung, Katalog gefunden");
const QString kWillBeMade =
    QStringLiteral("Verbindung in Ordnung, kein Katalog: er wird beim ersten Start erstellt");
QString CannotBeMade(const char* name) {
    return QStringLiteral(
               "Verbindung in Ordnung, aber kein Katalog \"%1\": er kann hier nicht "
               "erstellt werden (bitte auf dem Server anlegen)")
        .arg(QLatin1String(name));
}

// Presses "Verbindung prüfen" of a page (with the mouse, or with the space
// bar when it has the focus) and gives what the page then says; the check
// runs to its end inside the press.
QString Check(TSettingsWizard& form, const char* page, bool withKeys = false) {
    const std::string suffix = std::string(page).substr(2);
    auto* button = Find<QPushButton>(form, ("btnPruefen" + suffix).c_str());
    auto* result = Find<QLabel>(form, ("laPruefung" + suffix).c_str());
    if (!button || !result)
        return QStringLiteral("(no check on the page)");
    EXPECT_EQ(WizardOf(form)->ActivePage(), PageOf(form, page));
    EXPECT_EQ(button->text().remove(QLatin1Char('&')), QStringLiteral("Verbindung prüfen"));
    if (withKeys) {
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
    } else {
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // Every line of it shows.
    EXPECT_GE(result->height(), result->heightForWidth(result->width()))
        << result->text().toStdString();
    EXPECT_TRUE(result->isVisible());
    // What a screen reader reads is what the page shows.
    QAccessibleInterface* read = QAccessible::queryAccessibleInterface(result);
    EXPECT_TRUE(read && read->text(QAccessible::Name) == result->text()) << "screen reader";
    return result->text();
}

}  // namespace

TEST_F(SettingsWizardTest, AHostWithoutEndNeitherFillsTheFieldNorGrowsTheWindow) {
    const std::string endless(100000, 'a');
    MessageBoxReader boxes;
    auto opened = OpenOnServerPage("[Einstellungen]\r\nTyp=1\r\nServer Adresse=" + endless +
                                   "\r\nRoot Server=/" + endless + "/\r\n");
    TSettingsWizard& form = *opened;
    EXPECT_LE(FieldOf(form, "edIP")->text().size(), 261);
    EXPECT_LE(FieldOf(form, "edRoot")->text().size(), 1024);
    const int before = form.height();
    const QString said = Check(form, "wpHTTP");
    EXPECT_TRUE(said.startsWith(QStringLiteral("Der Server \"aaaa"))) << said.toStdString();
    EXPECT_LE(said.size(), 610);
    EXPECT_LT(form.height(), before + 200) << "the window grew to " << form.height();
    // Typed, it stops at the bound too.
    TypeOver(FieldOf(form, "edIP"), QString(300, QLatin1Char('b')));
    EXPECT_EQ(FieldOf(form, "edIP")->text(), QString(261, QLatin1Char('b')));
    EXPECT_EQ(boxes.Texts, std::vector<std::string>{});
}

TEST_F(SettingsWizardTest, ConnectionCheckOnTheWebServerPageSaysWhatItFoundAndSavesNothing) {
    TempDir withCatalogue;
    WriteFile(withCatalogue / "mp3/tunrax.dat", "Album\r\n");
    PhpServer full(withCatalogue.Path(), "mp3/");
    TempDir withoutCatalogue;
    PhpServer bare(withoutCatalogue.Path(), "mp3/");
    const std::string stored = "[Einstellungen]\r\nTyp=1\r\nServer Adresse=woanders.example\r\n";
    MessageBoxReader boxes;
    auto opened = OpenOnServerPage(stored);
    TSettingsWizard& form = *opened;

    TypeOver(FieldOf(form, "edIP"), QString::fromStdString(full.Address()));
    EXPECT_EQ(Check(form, "wpHTTP"), kFound);
    TypeOver(FieldOf(form, "edIP"), QString::fromStdString(bare.Address()));
    EXPECT_EQ(Check(form, "wpHTTP", true), CannotBeMade("tunrax.dat"));
    // The alternative catalogue, as chosen on the first page.
    TypeOver(FieldOf(form, "edIP"), QString::fromStdString(full.Address()));
    ClickBack(form);
    MarkAs(BoxOf(form, "cbAltenative"), true);
    ClickNext(form);
    EXPECT_EQ(Check(form, "wpHTTP"), CannotBeMade("tunrax2.dat"));
    // No script in the folder typed.
    TypeOver(FieldOf(form, "edRoot"), QStringLiteral("/lieder/"));
    EXPECT_TRUE(Check(form, "wpHTTP")
                    .startsWith(QStringLiteral(
                        "Der Server antwortet, aber unter \"/lieder/\" ist keine Sammlung")));
    // Nobody listens on the port.
    const int closed = FreePort();
    TypeOver(FieldOf(form, "edIP"), QStringLiteral("127.0.0.1:%1").arg(closed));
    TypeOver(FieldOf(form, "edRoot"), QStringLiteral("/mp3/"));
    EXPECT_EQ(Check(form, "wpHTTP"),
              QStringLiteral("Keine Verbindung zum Server \"127.0.0.1\" möglich."));

    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(ReadFile(file), stored) << "the check changed the settings file";
    EXPECT_FALSE(Exists(withoutCatalogue / "mp3/tunrax.dat"));
    EXPECT_EQ(boxes.Texts, std::vector<std::string>{});
    // The settings are saved only now, as typed.
    ClickNext(form);
    EXPECT_EQ(form.result(), 1);
    EXPECT_NE(ReadFile(file).find("Server Adresse=127.0.0.1:" + std::to_string(closed) + "\r\n"),
              std::string::npos);
}

TEST_F(SettingsWizardTest, ConnectionCheckOnTheFtpPageTellsAWritableServerFromAReadOnlyOne) {
    TempDir served;
    MakeDirs(served / "mp3/");
    WriteFile(served / "mit/tunrax.dat", "Album\r\n\tCD1\r\n");
    FtpTestServer server(served.Path());
    const std::string stored = "[Einstellungen]\r\nTyp=2\r\nFTP Adresse=woanders.example\r\n";
    MessageBoxReader boxes;
    auto opened = OpenOnServerPage(stored);
    TSettingsWizard& form = *opened;

    TypeOver(FieldOf(form, "edFTPServer"), QString::fromStdString(server.Address()));
    TypeOver(FieldOf(form, "edFTPNutzer"), QStringLiteral("schreiber"));
    TypeOver(FieldOf(form, "edFTPPasswort"), QStringLiteral("geheim"));
    EXPECT_EQ(Check(form, "wpFTP"), kWillBeMade);
    EXPECT_FALSE(Exists(served / "mp3/tunrax.dat")) << "the check wrote a catalogue";
    TypeOver(FieldOf(form, "edFTPVerzeichnis"), QStringLiteral("/mit/"));
    EXPECT_EQ(Check(form, "wpFTP", true), kFound);
    EXPECT_EQ(ReadFile(served / "mit/tunrax.dat"), "Album\r\n\tCD1\r\n");

    // A user who may only read.
    TypeOver(FieldOf(form, "edFTPNutzer"), QStringLiteral("leser"));
    TypeOver(FieldOf(form, "edFTPPasswort"), QString());
    TypeOver(FieldOf(form, "edFTPVerzeichnis"), QStringLiteral("/mp3/"));
    EXPECT_EQ(Check(form, "wpFTP"), CannotBeMade("tunrax.dat"));
    // A folder that is not there, a wrong password, a closed port: the
    // server's word.
    TypeOver(FieldOf(form, "edFTPVerzeichnis"), QStringLiteral("/fehlt/"));
    const QString missing = Check(form, "wpFTP");
    EXPECT_TRUE(missing.startsWith(
        QStringLiteral("Der Server antwortet, aber unter \"/fehlt/\" ist keine Sammlung")))
        << missing.toStdString();
    TypeOver(FieldOf(form, "edFTPNutzer"), QStringLiteral("schreiber"));
    TypeOver(FieldOf(form, "edFTPPasswort"), QStringLiteral("falsch"));
    const QString refused = Check(form, "wpFTP");
    EXPECT_TRUE(refused.contains(QStringLiteral("lehnt die Anmeldung als \"schreiber\" ab")))
        << refused.toStdString();
    const std::string closed = "127.0.0.1:" + std::to_string(FreePort());
    TypeOver(FieldOf(form, "edFTPServer"), QString::fromStdString(closed));
    const QString unreachable = Check(form, "wpFTP");
    EXPECT_EQ(unreachable, QString::fromStdString("Keine Verbindung zum FTP-Server \"" + closed +
                                                  "\": Verbindung verweigert"));

    EXPECT_EQ(ReadFile(file), stored) << "the check changed the settings file";
    EXPECT_FALSE(Exists(served / "mp3/tunrax.dat"));
    EXPECT_EQ(boxes.Texts, std::vector<std::string>{});
}

TEST_F(SettingsWizardTest, CancelCallsARunningConnectionCheckOffAndKeepsTheWizard) {
    // A server that sends a header line every 0.1 s: a check would wait 20 s.
    ServerProcess dripping;
    const int port = FreePort();
    dripping.Start(
        {"/usr/bin/python3", std::string(TUNRAX_SOURCE_DIR) + "/tests/support/hostile_http.py",
         std::to_string(port), "drip-headers"},
        port);
    const std::string stored = "[Einstellungen]\r\nTyp=1\r\n";
    MessageBoxReader boxes;
    auto opened = OpenOnServerPage(stored);
    TSettingsWizard& form = *opened;
    TypeOver(FieldOf(form, "edIP"), QStringLiteral("127.0.0.1:%1").arg(port));

    QPushButton* next = WizardOf(form)->BtnNext.Button();
    QPushButton* cancel = WizardOf(form)->BtnCancel.Button();
    bool busyShown = false;
    bool cancelOpen = false;
    QTimer::singleShot(1000, &form, [&] {
        // The window shows itself busy; "Abbrechen" alone stays.
        busyShown = !next->isEnabled();
        cancelOpen = cancel->isEnabled();
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    QElapsedTimer took;
    took.start();
    EXPECT_EQ(Check(form, "wpHTTP"), QStringLiteral("Prüfung abgebrochen."));
    EXPECT_LT(took.elapsed(), 5000);
    EXPECT_TRUE(busyShown) << "the window did not show itself busy";
    EXPECT_TRUE(cancelOpen);
    EXPECT_TRUE(form.isVisible()) << "Abbrechen closed the wizard during the check";
    EXPECT_TRUE(next->isEnabled());
    EXPECT_TRUE(FieldOf(form, "edIP")->isEnabled());
    // "Abbrechen" once more closes the wizard, saving nothing.
    Click(cancel);
    EXPECT_FALSE(form.isVisible());
    EXPECT_NE(form.result(), 1);
    EXPECT_EQ(ReadFile(file), stored);
    EXPECT_EQ(boxes.Texts, std::vector<std::string>{});
}
