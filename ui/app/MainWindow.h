// The main window: album tree, song list, favourites chooser, the commands of
// its menu and tool bar, the tray icon, and the program's start and end.
//
// The window lays out its parts and wires them to the catalogue session, the
// favourites session and the playback controller, whose events it shows. The
// parts are classes of their own: the menu row (TMainMenu), the favourites
// bar (TFavoritesBar, TFavoritesChooser), the pages (TSidePages, TAlbumPage),
// the song list with the tags (TSongPanel), the list commands' actions
// (TMainActions) and what they do (TFavoriteCommands), the catalogue's loading
// (TCatalogueLoader), the playback clock (TPlaybackTimer), the tray icon
// (TPlayerTray) and the remote control (TPlaybackRemote). MainWindow.cpp
// (layout, wiring, start and end) calls into MainWindowPlayback.cpp (the song
// list, the clock, the tray, what the controller reports), never back.
//
// Handlers may throw tunrax::Error; the application shows the message. The
// window owns the source, both sessions, the playback controller, the
// collator, its parts and every control; the password store it is given
// outlives it.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "app/Application.h"
#include "app/MainDialogs.h"
#include "app/PlaybackRemote.h"
#include "audio/Player.h"
#include "collection/CatalogueSession.h"
#include "collection/FavoritesSession.h"
#include "playback/PlaybackController.h"
#include "playback/SongList.h"
#include "sources/SourceOwner.h"
#include "widgets/AppWindow.h"

class QSplitter;
class QTimer;

namespace tunrax {

class TAlbumPage;
class TCatalogueLoader;
class TFavoriteCommands;
class TFavoritesChooser;
class TMainActions;
class TMainMenu;
class TNameCollator;
class TPlaybackEvents;
class TPlaybackTimer;
class TPlayerBar;
class TPlayerTray;
class TSidePages;
class TSingleInstance;
class TSongPanel;
class TIniFile;
class TPasswordStore;
class TTransferWaitWindow;
enum class TMouseButton;

class TMainWindow : public TAppWindow {
    Q_OBJECT

public:
    // library: the audio library to play through. dialogs: what the window
    // opens; none gives the program's own. passwords: the keyring that holds
    // the FTP password; none keeps it scrambled in the settings file.
    explicit TMainWindow(TIniFile& settings, std::unique_ptr<TAudioBackend> library,
                         std::unique_ptr<TMainDialogs> dialogs = nullptr, QWidget* parent = nullptr,
                         TPasswordStore* passwords = nullptr);
    ~TMainWindow() override;

    // True when another instance runs: the program ends without showing this.
    bool SecondInstance() const { return FSecondInstance; }
    // The session ends or a terminating signal came: end as "&Beenden" does.
    void SessionEnd();
    // The window under a remote control (media keys, the desktop's sound
    // menu), as the program hands it to MPRIS.
    TMediaControl& MediaControl() { return *FRemote; }

    // --- state
    // The current source: each transfer holds a lease, and replacing the
    // source or ending the program waits until the last lease has ended.
    const TSourceOwner& Source() const { return FSource; }
    // Puts source in place of the current one, the folders shown staying:
    // for a caller that brings a source of its own.
    void SetSource(std::unique_ptr<TSource> source);
    // The caption without a song: "Tunrax (version vom date)" once started.
    const QString& SavedCaption() const { return FSavedCaption; }
    // How the player does (TStreamState::Stopped in a second instance and once ended).
    TStreamState PlayerState() const {
        return FPlayback ? FPlayback->Player().State() : TStreamState::Stopped;
    }
    bool PlayIconOn() const;
    // The current favourite list: its name (empty for none) and songs.
    const std::string& FavoriteName() const { return FFavorites.Name(); }
    const TFavoriteList& Favorites() const { return FFavorites.List(); }
    // The selected folder of the album tree (kNone when none).
    int32_t SelectedNode() const;
    // What plays (none in a second instance and once ended): the songs
    // listed and the sequencer.
    const TSongList& Songs() const;
    const TSongSequencer& Sequencer() const { return FPlayback->Sequencer(); }
    // The ticks of the playback clock come only from the caller (tests that
    // count them): mmStart no longer runs by itself.
    void GiveTicksByHand();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Every event of the application arms the idle timer that runs
    // UpdateActions once the event queue has drained.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A slot for a signal of Qt's that runs handler and shows its error there
    // (see ShowErrorsOf).
    template <class Handler>
    auto Guarded(Handler handler) {
        return [this, handler] { ShowErrorsOf([this, handler] { (this->*handler)(); }); };
    }

    // --- MainWindow.cpp: layout, wiring, start and end, the catalogue
    void CreateControls();
    void ConnectMenu();
    // The place, size and splitter of the last run ([Fenster]), and at its
    // end the same with the volume and the album selected.
    void RestorePlace();
    void StorePlace();
    // Selects the album of the last run without starting a song.
    void RestoreAlbum();
    void OnCreate();
    void OnAfterCreate();
    void OnDestroy();
    void Quit();
    void OpenSettings();
    // Makes the source anew from the settings and loads its catalogue
    // ("Aktualisieren" above a kept tree, and after the settings changed).
    void LoadSourceAgain();
    void HideToTray();
    void ReloadCatalogue();
    // Makes the source of the settings and shows its catalogue.
    void LoadCatalogue();
    void ConnectFavoriteCommands();
    void OnPageChanged();
    // Sets every command's enabled state from the window's state; runs
    // whenever the application becomes idle.
    void UpdateActions();

    // --- MainWindowPlayback.cpp: the song list, the playback clock, the tray icon
    void ConnectPlayback();
    void CreatePlayer();
    void ConnectPlaybackEvents();
    // Lists the songs of the album selected in the tree.
    void OnAlbumSelected();
    void OnSongSelected();
    void OnPlaybackTick();
    void OnTrayClicked(TMouseButton button);
    void ShowWindow();
    // Runs use with the current source held; false when there is none.
    bool UseSource(const std::function<void(TSource&)>& use);
    // Shows the song list's rows and the chosen one.
    void ShowSongs();
    // Shows the chosen song as the selected row, without taking that for a
    // new choice.
    void ShowChoice();
    // The labels and the tray's tip for the song heard.
    void ShowSongInfo();

    // --- parts and controls
    TMainMenu* FMenu = nullptr;
    TMainActions* FActions = nullptr;
    TFavoritesChooser* FFavoritesChooser = nullptr;
    TSidePages* FPages = nullptr;
    TAlbumPage* FAlbumPage = nullptr;
    TFavoriteCommands* FFavoriteCommands = nullptr;
    TSongPanel* FSongPanel = nullptr;
    QSplitter* FSplitter = nullptr;
    TPlayerBar* FPlayerBar = nullptr;
    TPlaybackTimer* FPlaybackTimer = nullptr;
    std::unique_ptr<TPlayerTray> FTrayIcon;
    TTransferWaitWindow* FTransferWait = nullptr;
    QTimer* FIdle = nullptr;  // zero interval: fires when the application is idle
    TSingleInstance* FSingleInstance = nullptr;
    TPlaybackEvents* FPlaybackEvents = nullptr;

    TSourceOwner FSource;
    TIniFile& FSettings;
    TPasswordStore* FPasswords;
    std::unique_ptr<TAudioBackend> FLibrary;
    std::unique_ptr<TMainDialogs> FDialogs;
    QString FSavedCaption;
    std::unique_ptr<TNameCollator> FCollator;
    std::unique_ptr<TCatalogueSession> FCatalogue;
    TFavoritesSession FFavorites;
    std::unique_ptr<TCatalogueLoader> FCatalogueLoader;
    std::unique_ptr<TPlaybackRemote> FRemote;
    bool FSecondInstance = false;
    bool FCloseConfirmed = false;
    bool FDestroyed = false;
    bool FTreeChangeAttached = true;
    // Last: its thread of the song fetched ahead ends first.
    std::unique_ptr<TPlaybackController> FPlayback;
};

}  // namespace tunrax
