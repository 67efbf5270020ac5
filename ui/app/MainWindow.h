// The main window: album tree, song list, favourites chooser, the commands of
// its menu and tool bar, the tray icon, and the program's start and end.
//
// The window lays out its controls and wires them to what does the work:
// the catalogue session (TCatalogueSession: the folders the tree shows, an
// album's songs), the favourites session (TFavoritesSession: the current
// list and its file), the command rules (EnabledCommands) and the playback
// controller (TPlaybackController: the list, the player, automatic playing),
// whose events it shows.
//
// Its files call downwards only: MainWindow.cpp (layout, wiring, start and end,
// the catalogue) uses MainWindowFavorites.cpp (the lists and their commands),
// which uses MainWindowPlayback.cpp (the song list, the playback clock, the tray
// icon and the remote control).
//
// Handlers may throw tunrax::Error; the application shows the message. The
// window owns the source, both sessions, the playback controller, the
// collator, the tray icon and every control.
#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "app/Application.h"
#include "app/MainDialogs.h"
#include "app/MediaControl.h"
#include "audio/Player.h"
#include "collection/CatalogueSession.h"
#include "collection/FavoritesSession.h"
#include "playback/PlaybackClock.h"
#include "playback/PlaybackController.h"
#include "playback/SongList.h"
#include "sources/SourceOwner.h"
#include "widgets/AppWindow.h"
#include "widgets/TransferWait.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QMenuBar;
class QProgressBar;
class QTabWidget;
class QTimer;
class QToolBar;
class QTreeView;
class QTreeWidget;

namespace tunrax {

class TAlbumSearch;
class TCatalogueModel;
class TSource;
class TNameCollator;
class TPlaybackEvents;
class TProgressBarDisplay;
class TSingleInstance;
class TTrayIcon;
class TIniFile;

class TMainWindow : public TAppWindow, public TMediaControl, private TPlaybackClock {
    Q_OBJECT

public:
    // library: the audio library to play through. dialogs: what the window
    // opens; none gives the program's own.
    explicit TMainWindow(TIniFile& settings, std::unique_ptr<TAudioBackend> library,
                         std::unique_ptr<TMainDialogs> dialogs = nullptr,
                         QWidget* parent = nullptr);
    ~TMainWindow() override;

    // True when another instance runs: the program ends without showing this.
    bool SecondInstance() const { return FSecondInstance; }
    // The session ends or a terminating signal came: end as "&Beenden" does.
    void SessionEnd();

    // --- state
    // The current source: each transfer holds a lease, and replacing the
    // source or ending the program waits until the last lease has ended.
    const TSourceOwner& Source() const { return FSource; }
    // Puts source in place of the current one, the folders shown staying:
    // for a caller that brings a source of its own.
    void SetSource(std::unique_ptr<TSource> source);
    // The caption without a song: "Tunrax (version vom date)" once started.
    const QString& SavedCaption() const { return FSavedCaption; }
    // How the player does (psStopped in a second instance and once ended).
    TPlayerState PlayerState() const { return FPlayback ? FPlayback->Player().State() : psStopped; }
    bool PlayIconOn() const { return FPlayIconOn; }
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

    // --- remote control (media keys, the desktop's sound menu)
    void MediaPlay() override;
    void MediaPause() override;
    void MediaPlayPause() override;
    void MediaStop() override;
    void MediaNext() override;
    void MediaPrevious() override;
    void MediaRaise() override;
    void MediaQuit() override;
    TPlaybackStatus MediaStatus() const override;
    TMediaTrack MediaTrack() const override;
    bool MediaCanGoNext() const override;
    bool MediaCanGoPrevious() const override;
    bool MediaCanPlay() const override;
    int64_t MediaPosition() override;
    bool MediaSeek(int64_t position) override;
    double MediaVolume() const override;
    void MediaSetVolume(double volume) override;
    TPlaybackEvents& MediaEvents() override { return *FPlaybackEvents; }

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
    // Names every control but the commands as its field, so that tools and
    // tests find it.
    void NameControls();
    void OnCreate();
    void OnAfterCreate();
    void OnDestroy();
    void Beenden1Click();
    void Einstellungen1Click();
    void Minimieren1Click();
    void Aktualisieren1Click();
    // Makes the source of the settings and shows its catalogue (scanned
    // when it cannot be read and the source can scan).
    void LoadCatalogue();
    // Scans the source's folders and writes the catalogue back.
    void BuildCatalogue();

    // --- MainWindowFavorites.cpp: the favourite lists and the list commands
    // The eleven commands, named as their fields.
    void CreateActions();
    QAction* MakeAction(const QString& caption, const QString& category, int image,
                        const QKeySequence& shortcut = {});
    // The commands' context menus, the list page and their handlers.
    void ConnectFavoriteCommands();
    void FillFavoriteChooser();
    void cbFavoritenChange();
    void LoadFavorites();
    void pcSeitenChange();
    int FavoriteChooserIndex(const std::string& name) const;
    // Whether the song list's row is drawn on the highlight colour.
    bool Highlighted(int row) const;
    // Sets every command's enabled state from the window's state; runs
    // whenever the application becomes idle.
    void UpdateActions();
    void SelectNextSong();
    void MoveFavorite(int delta);
    void acNeuListeExecute();
    void acDelListeExecute();
    void acAddExecute();
    void acDelExecute();
    void acNoPlayExecute();
    void acAddAllExecute();
    void acDelAllExecute();
    void acFindExecute();
    void acKopierenExecute();

    // --- MainWindowPlayback.cpp: the song list, the playback clock, the tray icon
    void ConnectPlayback();
    void CreatePlayer();
    void ConnectPlaybackEvents();
    // Lists the songs of the album selected in the tree.
    void tvAlbenChange();
    void lvLiederChange();
    void mmStartTimer();
    void NBAClick();
    void ShowWindow();
    void SetPlayIcon(bool on);
    // Runs use with the current source held; false when there is none.
    bool UseSource(const std::function<void(TSource&)>& use);
    // Shows the song list's rows in lvLieder, and the chosen one.
    void ShowSongs();
    // Shows the chosen song as lvLieder's selected row, without taking that
    // for a new choice.
    void ShowChoice();
    // Chooses the song at row, as a click on it does; row -1 chooses none.
    void SelectSong(int row);
    void ShowSongStarting(const QString& caption);
    void ShowSongInfo();
    void ShowNoSong();
    // TPlaybackClock: mmStart, and calls posted to the event loop.
    void Run(bool on) override;
    void CallSoon(std::function<void()> call) override;

    // --- controls, named as their fields (tests find them by these names)
    QMenuBar* MainMenu1 = nullptr;
    QAction* Suchen1 = nullptr;
    QAction* Aktualisieren1 = nullptr;
    QAction* Beenden1 = nullptr;
    QAction* Einstellungen1 = nullptr;
    QAction* Minimieren1 = nullptr;
    QWidget* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cbFavoriten = nullptr;
    QToolBar* atMain = nullptr;
    QTabWidget* pcSeiten = nullptr;
    QWidget* tsAlle = nullptr;
    QWidget* tsFavoriten = nullptr;
    QLabel* imFavoriten = nullptr;  // the picture of the page "Favoriten"
    QTreeView* tvAlben = nullptr;
    TAlbumSearch* edSuchen = nullptr;   // the search field above tvAlben
    TCatalogueModel* FAlben = nullptr;  // the model behind tvAlben
    QTreeWidget* lvLieder = nullptr;
    QLabel* laTitel = nullptr;
    QLabel* laInterpret = nullptr;
    QLabel* laAlbum = nullptr;
    QProgressBar* pbStatus = nullptr;
    QTimer* mmStart = nullptr;
    TTransferWaitWindow* FTransferWait = nullptr;
    QTimer* FIdle = nullptr;  // zero interval: fires when the application is idle
    TTrayIcon* NBA = nullptr;
    TSingleInstance* SingleInstance1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QMenu* PopupMenu2 = nullptr;

    QAction* acNeuListe = nullptr;
    QAction* acDelListe = nullptr;
    QAction* acAdd = nullptr;
    QAction* acDel = nullptr;
    QAction* acNoPlay = nullptr;
    QAction* acLiedFrueher = nullptr;
    QAction* acLiedSpaeter = nullptr;
    QAction* acKopieren = nullptr;
    QAction* acAddAll = nullptr;
    QAction* acDelAll = nullptr;
    QAction* acFind = nullptr;

    TSourceOwner FSource;
    TIniFile& FSettings;
    std::unique_ptr<TAudioBackend> FLibrary;
    std::unique_ptr<TMainDialogs> FDialogs;
    QString FSavedCaption;
    std::unique_ptr<TNameCollator> FCollator;
    std::unique_ptr<TCatalogueSession> FCatalogue;
    TFavoritesSession FFavorites;
    bool FPlayIconOn = false;
    bool FPlayIconSet = false;
    QIcon FIconOn, FIconOff;
    std::unique_ptr<TProgressBarDisplay> FProgress;
    bool FSecondInstance = false;
    bool FCloseConfirmed = false;
    bool FDestroyed = false;
    bool FTreeChangeAttached = true;
    bool FPageChangeAttached = true;
    bool FFavoriteChooserFilled = false;
    bool FTicksByHand = false;
    // The grid of the playback clock's ticks: a clock started again keeps
    // to it, as if it had run all along.
    QElapsedTimer FClockGrid;
    TPlaybackEvents* FPlaybackEvents = nullptr;
    // Last: its thread of the song fetched ahead ends first.
    std::unique_ptr<TPlaybackController> FPlayback;
};

}  // namespace tunrax
