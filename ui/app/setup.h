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
// "cbFTPUTF8"; the pages "velWizardPage1", "wpHTTP", "wpLokal", "wpFTP".
#pragma once

#include <string>

#include "widgets/VelForm.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;

namespace tunrax {

class TDirectoryEdit;
class TVelIniFile;
class TvelWizard;
class TvelWizardPage;

class TfmSetup : public TVelForm {
    Q_OBJECT

public:
    TfmSetup(QWidget* parent, TVelIniFile& settings);
    ~TfmSetup() override;

private:
    void CreateControls();
    // The item index of rgTyp: 0 "lokal", 1 "HTTP", 2 "FTP" (-1 for none).
    int TypIndex() const;
    void SetTypIndex(int index);
    void VelFormAfterCreate();
    void velWizardPage1Changing(TvelWizardPage* sender, bool& allowChange);
    void velWizard1LastAction();
    // The bytes to store for a field: the stored value itself while the
    // field still shows it (names need not be UTF-8), else the typed text.
    std::string FieldBytes(const QLineEdit* field, const std::string& key) const;

    TVelIniFile& FSettings;
    QButtonGroup* FTypItems = nullptr;
    TvelWizard* velWizard1 = nullptr;
    TvelWizardPage* wpHTTP = nullptr;
    TvelWizardPage* wpLokal = nullptr;
    TvelWizardPage* wpFTP = nullptr;
    QCheckBox* cbAltenative = nullptr;
    QLineEdit* edIP = nullptr;
    QLineEdit* edRoot = nullptr;
    TDirectoryEdit* edDir = nullptr;
    QLineEdit* edFTPServer = nullptr;
    QLineEdit* edFTPNutzer = nullptr;
    QLineEdit* edFTPPasswort = nullptr;
    QLineEdit* edFTPVerzeichnis = nullptr;
    QCheckBox* cbFTPUTF8 = nullptr;
};

}  // namespace tunrax
