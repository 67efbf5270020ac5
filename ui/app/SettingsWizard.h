// The settings wizard: where the music collection lies (a local folder, a web
// server with the server script, or an FTP server) and that place's
// parameters, in two steps. It reads section "Einstellungen" when it opens and
// writes all of it on "&Speichern", which ends the window with result 1; any
// other end leaves the settings file as it was.
//
// Handlers throw tunrax::Error (a stored password that cannot be read, a
// settings file that cannot be written); the application shows the message.
// Its controls carry object names: the group "rgTyp" of the radio buttons
// "lokal", "HTTP", "FTP", "cbAltenative", "edIP", "edRoot", "edDir",
// "edFTPServer", "edFTPNutzer", "edFTPPasswort", "edFTPVerzeichnis",
// "cbFTPUTF8", "cbFTPTLS"; the pages "velWizardPage1", "wpHTTP", "wpLokal", "wpFTP".
//
// The server pages check the values typed before anything is saved: the
// buttons "btnPruefenHTTP" and "btnPruefenFTP" ("Verbindung prüfen") talk to
// the server as the source does when it starts, and the labels
// "laPruefungHTTP" and "laPruefungFTP" say what was found. "Abbrechen" during
// a check calls the check off and keeps the window. A certificate that a
// check refuses can be trusted by its fingerprint (CertificateTrust.h).
//
// The FTP password goes into the keyring given (TPasswordStore, under the
// FTP user and address) and the settings file keeps none; where no keyring
// answers, or none is given, it is kept scrambled in the file as before, and
// the line "laSchluesselbund" on the FTP page says so. A scrambled password
// of an older file moves into the keyring on the next "&Speichern".
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "widgets/AppWindow.h"

class QButtonGroup;
class QCheckBox;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tunrax {

class TCertificateTrust;
class TSource;
class TDirectoryEdit;
class TIniFile;
class TPasswordStore;
class TWizard;
class TWizardPage;

class TSettingsWizard : public TAppWindow {
    Q_OBJECT

public:
    // passwords: not owned, may be none.
    TSettingsWizard(QWidget* parent, TIniFile& settings, TPasswordStore* passwords = nullptr);
    ~TSettingsWizard() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    // The button and the result label of a server page, added below its
    // fields.
    void AddCheck(TWizardPage* page, const char* suffix, QPushButton*& button, QLabel*& result,
                  TCertificateTrust*& trust);
    // Runs the check of a server page with the source that makeSource makes
    // from the page's values, and shows what it found in result; a refused
    // certificate of address is offered to trust.
    void CheckConnection(QLabel* result, TCertificateTrust* trust, const std::string& address,
                         const std::function<std::unique_ptr<TSource>()>& makeSource);
    void CheckWebServer();
    void CheckFtpServer();
    // The source chosen in "rgTyp": 0 "lokal", 1 "HTTP", 2 "FTP" (-1 for none).
    int SourceKind() const;
    void SetSourceKind(int index);
    void OnAfterCreate();
    void OnSourceKindChosen(TWizardPage* sender, bool& allowChange);
    void Save();
    // The bytes to store for a field: the stored value itself while the
    // field still shows it (names need not be UTF-8), else the typed text.
    std::string FieldBytes(const QLineEdit* field, const std::string& stored) const;

    TIniFile& FSettings;
    TPasswordStore* FPasswords;
    QButtonGroup* FSourceKinds = nullptr;
    TWizard* FWizard = nullptr;
    TWizardPage* FWebPage = nullptr;
    TWizardPage* FLocalPage = nullptr;
    TWizardPage* FFtpPage = nullptr;
    QCheckBox* FAlternativeCatalogue = nullptr;
    QLineEdit* FWebServer = nullptr;
    QLineEdit* FWebRoot = nullptr;
    TDirectoryEdit* FMusicFolder = nullptr;
    QLineEdit* FFtpServer = nullptr;
    QLineEdit* FFtpUser = nullptr;
    QLineEdit* FFtpPassword = nullptr;
    QLineEdit* FFtpRoot = nullptr;
    QCheckBox* FFtpUtf8 = nullptr;
    QCheckBox* FFtpTls = nullptr;
    TCertificateTrust* FWebTrust = nullptr;
    TCertificateTrust* FFtpTrust = nullptr;
    QPushButton* FCheckWeb = nullptr;
    QLabel* FWebResult = nullptr;
    QPushButton* FCheckFtp = nullptr;
    QLabel* FFtpResult = nullptr;
    QLabel* FNoKeyring = nullptr;
    bool FChecking = false;
    std::atomic<bool> FCheckCalledOff{false};
};

}  // namespace tunrax
