// The copy wizard: copies the songs of the album or favourite list shown into
// a folder, typically a portable player's, in three steps: target folder and
// options, number and size of the songs, then the copy itself.
//
// Handlers throw tunrax::Error (no folder chosen, a folder that cannot be
// made, a song that cannot be fetched); the application shows the message. A
// copy that ends at a failing song says how many songs were copied and which
// one failed. Before clearing deletes files the copy does not bring back, the
// wizard asks (default "Nein", which deletes and copies nothing).
// The wizard borrows the source from its owner while it is open (the program
// ends only after it has closed) and leases it for each transfer; it keeps
// its own copy of the song list. Its controls carry object names ("edDir",
// "cbLoeschen", "cbOrg", "cbListe", "cbWiedergabeliste", "edAnzahl", "edSize",
// "lbFrei", "pbStatus", "btnStart"; the pages "velWizardPage1",
// "velWizardPage2", "wpStart").
#pragma once

#include <string>
#include <vector>

#include "sources/SourceOwner.h"
#include "widgets/AppWindow.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace tunrax {

class TDirectoryEdit;
class TIniFile;
class TPersistentProperties;
class TWizard;
class TWizardPage;

class TCopyWizard : public TAppWindow {
    Q_OBJECT

public:
    // songs: song paths, in order, of the source of sources; the check box
    // "Listenname als Verzeichnis" is enabled only with a list name.
    TCopyWizard(QWidget* parent, TIniFile& settings, TSourceOwner& sources,
                std::vector<std::string> songs, std::string listName);
    ~TCopyWizard() override;

    // The folder the songs go to, made when the first page was left.
    const std::string& TargetDir() const { return FTargetDir; }
    bool Copying() const { return FCopying; }
    // Songs written by the last copy (skipped ones not counted).
    int CopiedCount() const { return FCopied; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void OnCreate();
    void OnTargetChosen(TWizardPage* sender, bool& allowChange);
    void CopySongs();

    TIniFile& FSettings;
    TSourceOwner& FSources;
    const std::vector<std::string> FSongs;
    const std::string FListName;
    // Asks the wizard to close when the program is to end.
    TSourceLease FBorrowed;
    std::string FTargetDir;
    bool FCopying = false;
    bool FCancelRequested = false;
    int FCopied = 0;

    TWizard* FWizard = nullptr;
    TWizardPage* FCopyPage = nullptr;
    TDirectoryEdit* FTargetFolder = nullptr;
    QCheckBox* FClearTarget = nullptr;
    QCheckBox* FKeepFolders = nullptr;
    QCheckBox* FListAsFolder = nullptr;
    QCheckBox* FWritePlaylist = nullptr;
    QLineEdit* FSongCount = nullptr;
    QLineEdit* FSongSize = nullptr;
    QLabel* FFreeSpace = nullptr;
    QProgressBar* FProgress = nullptr;
    QPushButton* FStart = nullptr;
    TPersistentProperties* FStoredValues = nullptr;
};

// Shows the copy wizard modally for the songs of the current source of
// sources; returns when it has closed.
void ShowCopyWizard(QWidget* parent, TSourceOwner& sources, const std::vector<std::string>& songs,
                    const std::string& listName, TIniFile& settings);

}  // namespace tunrax
