// The copy wizard: copies the songs of the album or favourite list shown into
// a folder, typically a portable player's, in three steps: target folder and
// options, number and size of the songs, then the copy itself.
//
// Handlers throw tunrax::Error (no folder chosen, a folder that cannot be
// made, a song that cannot be fetched); the application shows the message.
// The wizard borrows the source and the song list; it owns nothing else.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "widgets/VelForm.h"

class QCheckBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace tunrax {

class TCustomTransfer;
class TDirectoryEdit;
class TVelIniFile;
class TvelAutoIni;
class TvelWizard;
class TvelWizardPage;

class TfmCopy : public TVelForm {
    Q_OBJECT

public:
    TfmCopy(QWidget* parent, TVelIniFile& settings);
    ~TfmCopy() override;

    TCustomTransfer* FSource = nullptr;                // not owned
    const std::vector<std::string>* FSongs = nullptr;  // not owned
    std::string FListName;
    std::string FTargetDir;
    // Held while a song is fetched, so that the owner of the source leaves it
    // alone meanwhile; may be empty.
    std::function<std::shared_ptr<void>()> SourceInUse;

    TvelWizard* velWizard1 = nullptr;
    TvelWizardPage* velWizardPage1 = nullptr;
    TvelWizardPage* velWizardPage2 = nullptr;
    TvelWizardPage* wpStart = nullptr;
    TDirectoryEdit* edDir = nullptr;
    QCheckBox* cbLoeschen = nullptr;
    QCheckBox* cbOrg = nullptr;
    QCheckBox* cbListe = nullptr;
    QLineEdit* edAnzahl = nullptr;
    QLineEdit* edSize = nullptr;
    QProgressBar* pbStatus = nullptr;
    QPushButton* btnStart = nullptr;
    TvelAutoIni* ini = nullptr;

    void VelFormCreate();
    void velWizardPage1Changing(TvelWizardPage* sender, bool& allowChange);
    void btnStartClick();

    bool Copying() const { return FCopying; }
    // Songs written by the last copy (skipped ones not counted).
    int CopiedCount() const { return FCopied; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();

    TVelIniFile& FSettings;
    bool FCopying = false;
    bool FCancelRequested = false;
    int FCopied = 0;
};

// Shows the copy wizard for the songs (song paths, in order) of the source;
// the check box "Listenname als Verzeichnis" is enabled only with a list name.
// Returns when the wizard has closed.
void ShowCopyWizard(QWidget* parent, TCustomTransfer& source, const std::vector<std::string>& songs,
                    const std::string& listName, TVelIniFile& settings,
                    std::function<std::shared_ptr<void>()> sourceInUse = {});

}  // namespace tunrax
