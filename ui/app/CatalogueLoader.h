// Makes the source that the settings name (TSourceSettings) and shows its
// catalogue in the album tree: the catalogue file read, or, where there is
// none, the collection scanned, with the progress bar moving, and written
// back.
//
// The songs listed from the old tree stay shown but no longer play; the song
// fetched ahead from the old source is called off. Each catalogue read or
// scanned is kept (KeptCatalogue.h); when the source cannot be reached or
// its catalogue read, the kept one is shown instead and OnAway says so. The
// window's parts passed in outlive the loader. Load and Build throw tunrax::Error (a source that
// cannot be made or read, a catalogue that cannot be written).
#pragma once

#include <functional>
#include <memory>
#include <string>

class QProgressBar;
class QWidget;

namespace tunrax {

class TCatalogueSession;
class TIniFile;
class TPasswordStore;
class TPlaybackController;
class TProgressBarDisplay;
class TSourceOwner;

class TCatalogueLoader {
public:
    // tree: drawn again only when the catalogue has been loaded. passwords:
    // the keyring of the FTP password, may be none.
    TCatalogueLoader(TSourceOwner& source, TIniFile& settings, TCatalogueSession& catalogue,
                     QProgressBar* progress, QWidget* tree, TPasswordStore* passwords);
    ~TCatalogueLoader();

    // Makes the source and shows its catalogue (scanned when it cannot be
    // read and the source can scan).
    void Load(TPlaybackController& playback);
    // Scans the source's folders and writes the catalogue back.
    void Build(TPlaybackController& playback);

    // Told after each load: the line to show above the tree and the reason,
    // both empty when the source's own catalogue is shown.
    std::function<void(const std::string& line, const std::string& reason)> OnAway;

private:
    // Shows the kept catalogue of the source chosen, told why; false when
    // none is kept.
    bool ShowKept(const std::string& reason, bool local);
    void KeepShown() const;

    TSourceOwner& FSource;
    std::string FKeptFile;
    TIniFile& FSettings;
    TPasswordStore* FPasswords;
    TCatalogueSession& FCatalogue;
    std::unique_ptr<TProgressBarDisplay> FProgress;
    QWidget* FTree;
};

}  // namespace tunrax
