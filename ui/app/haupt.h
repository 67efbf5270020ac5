// The main window: album tree, song list, favourites chooser, the commands of
// its menu and tool bar, the tray icon, and the program's start and end.
//
// What plays is the playback controller's (TPlaybackController: the list, the
// player, automatic playing); the window tells it what the user chose and
// shows what it reports through its events.
//
// Handlers may throw tunrax::Error; the application shows the message. The
// window owns the source, the playback controller, the collator, the tray
// icon and every control.
#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainDialogs.h"
#include "app/MediaControl.h"
#include "audio/BassPlayer.h"
#include "collection/catalogue.h"
#include "collection/favorites.h"
#include "playback/PlaybackClock.h"
#include "playback/PlaybackController.h"
#include "playback/SongList.h"
#include "sources/SourceOwner.h"
#include "widgets/TransferWait.h"
#include "widgets/VelForm.h"

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
class TCustomTransfer;
class TNameCollator;
class TPlaybackEvents;
class TProgressBarDisplay;
class TSingleInstance;
class TTrayIcon;
class TVelIniFile;

class TfmMain : public TVelForm, public TMediaControl, private TPlaybackClock {
    Q_OBJECT

public:
    // library: the audio library to play through; none gives the desktop's
    // default output through GStreamer. dialogs: what the window opens; none
    // gives the program's own.
    explicit TfmMain(TVelIniFile& settings, std::unique_ptr<TAudioLibrary> library = nullptr,
                     std::unique_ptr<TMainDialogs> dialogs = nullptr, QWidget* parent = nullptr);
    ~TfmMain() override;

    // True when another instance runs: the program ends without showing this.
    bool SecondInstance() const { return FSecondInstance; }

    // --- state
    // The current source: each transfer holds a lease, and replacing the
    // source or ending the program waits until the last lease has ended.
    TSourceOwner FSource;
    // The caption without a song: "Tunrax (version vom date)" once started.
    const QString& SavedCaption() const { return FSavedCaption; }
    // How the player does (psStopped in a second instance and once ended).
    TPlayerState PlayerState() const { return FPlayback ? FPlayback->Player().State() : psStopped; }
    // The current favourite list: its name (empty for none) and songs.
    const std::string& FavoriteName() const { return FFavoriteName; }
    const TFavoriteList& Favorites() const { return FFavorites; }

    // --- life cycle and commands
    void VelFormAfterCreate();
    void Beenden1Click();
    void Einstellungen1Click();
    void Minimieren1Click();
    void Aktualisieren1Click();
    void NBAClick();
    // The session ends or a terminating signal came: end as "&Beenden" does.
    void SessionEnd();
    void SetPlayIcon(bool on);
    bool PlayIconOn() const { return FPlayIconOn; }

    // --- playback
    void mmStartTimer();
    // What plays (none in a second instance and once ended): the songs
    // listed and the sequencer.
    const TSongList& Songs() const;
    const TSongSequencer& Sequencer() const { return FPlayback->Sequencer(); }
    // The ticks of the playback clock come only from the caller (tests that
    // count them): mmStart no longer runs by itself.
    void GiveTicksByHand();

    // --- catalogue and album tree
    void LoadCatalogue();
    void BuildCatalogue();
    // The selected folder of the album tree (kNone when none).
    int32_t SelectedNode() const;
    void tvAlbenChange();
    void lvLiederChange();

    // --- favourite lists
    void FillFavoriteChooser();
    void cbFavoritenChange();
    void SaveFavorites();
    void LoadFavorites();
    void pcSeitenChange();
    void AddToFavorites(const std::string& path);
    void RemoveFromFavorites(const std::string& path);
    // Sets every command's enabled state from the window's state; runs
    // whenever the application becomes idle.
    void UpdateActions();
    void acNeuListeExecute();
    void acDelListeExecute();
    void acAddExecute();
    void acDelExecute();
    void acNoPlayExecute();
    void acLiedFrueherExecute();
    void acLiedSpaeterExecute();
    void acAddAllExecute();
    void acDelAllExecute();
    void acFindExecute();
    void acKopierenExecute();
    // Whether the song list's row is drawn on the highlight colour.
    bool Highlighted(int row) const;

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

    // The caption "Tunrax (1.2.3.4 vom 17.01.12)" for a title, version and
    // build date (yyyy-mm-dd), with the user's date separator.
    static QString StartCaption(const QString& title, const QString& version,
                                const QString& buildDate);

protected:
    // A slot for a signal of Qt's that runs handler and shows its error there
    // (see ShowErrorsOf).
    template <class Handler>
    auto Guarded(Handler handler) {
        return [this, handler] { ShowErrorsOf([this, handler] { (this->*handler)(); }); };
    }
    void closeEvent(QCloseEvent* event) override;
    // Every event of the application arms the idle timer that runs
    // UpdateActions once the event queue has drained.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void VelFormCreate();
    void VelFormDestroy();
    void CreateControls();
    // Names every control but the commands (see CreateActions) as its field,
    // so that tools and tests find it.
    void NameControls();
    void CreateActions();
    QAction* MakeAction(const QString& caption, const QString& category, int image,
                        const QKeySequence& shortcut = {});
    void ShowWindow();
    void ConnectPlayback();
    void CreatePlayer();
    void ConnectFavoriteCommands();
    void SelectNextSong();
    void MoveFavorite(int delta);
    int FavoriteChooserIndex(const std::string& name) const;
    void AttachTreeChange(bool attached) { FTreeChangeAttached = attached; }

    // Runs use with the current source held; false when there is none.
    bool UseSource(const std::function<void(TCustomTransfer&)>& use);
    // Shows the song list's rows in lvLieder, and the chosen one.
    void ShowSongs();
    // Shows the chosen song as lvLieder's selected row, without taking that
    // for a new choice.
    void ShowChoice();
    // Chooses the song at row, as a click on it does; row -1 chooses none.
    void SelectSong(int row);
    // What the playback controller reports.
    void ConnectPlaybackEvents();
    void ShowSongStarting(const QString& caption);
    void ShowSongInfo();
    void ShowNoSong();
    // TPlaybackClock: mmStart, and calls posted to the event loop.
    void Run(bool on) override;
    void CallSoon(std::function<void()> call) override;
    // A list is current and its file could be read: it may be edited.
    bool FavoritesEditable() const { return !FFavoriteName.empty() && !FFavoritesUnreadable; }

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

    TVelIniFile& FSettings;
    std::unique_ptr<TAudioLibrary> FLibrary;
    std::unique_ptr<TMainDialogs> FDialogs;
    QString FSavedCaption;
    TFavoriteList FFavorites;
    int32_t FFavoriteChanges = 0;
    std::string FFavoriteName;
    bool FPlayIconOn = false;
    bool FPlayIconSet = false;
    QIcon FIconOn, FIconOff;
    std::unique_ptr<TNameCollator> FCollator;
    std::unique_ptr<TProgressBarDisplay> FProgress;
    bool FSecondInstance = false;
    bool FCloseConfirmed = false;
    bool FDestroyed = false;
    bool FTreeChangeAttached = true;
    bool FPageChangeAttached = true;
    bool FFavoriteChooserFilled = false;
    // The current list's file exists but could not be read: the list is shown
    // empty and never written back, so that the file is not replaced.
    bool FFavoritesUnreadable = false;
    bool FTicksByHand = false;
    // The grid of the playback clock's ticks: a clock started again keeps
    // to it, as if it had run all along.
    QElapsedTimer FClockGrid;
    TPlaybackEvents* FPlaybackEvents = nullptr;
    // Last: its thread of the song fetched ahead ends first.
    std::unique_ptr<TPlaybackController> FPlayback;
};

}  // namespace tunrax
