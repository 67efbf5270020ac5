#include "app/MainWindow.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/AlbumPage.h"
#include "app/CatalogueLoader.h"
#include "app/CatalogueModel.h"
#include "app/FavoriteCommands.h"
#include "app/FavoritesBar.h"
#include "app/FavoritesChooser.h"
#include "app/MainActions.h"
#include "app/MainMenu.h"
#include "app/PlaybackEvents.h"
#include "app/PlaybackRemote.h"
#include "app/PlaybackTimer.h"
#include "app/PlayerBar.h"
#include "app/PlayerTray.h"
#include "app/SidePages.h"
#include "app/SongPanel.h"
#include "app/StartCaption.h"
#include "collection/Catalogue.h"
#include "collection/Collation.h"
#include "io/Error.h"
#include "settings/IniFile.h"
#include "settings/ProgramVersion.h"
#include "settings/UserFolders.h"
#include "settings/WindowSettings.h"
#include "sources/Source.h"
#include "sources/SourceSettings.h"
#include "sources/TransferControl.h"
#include "tunrax_version.h"
#include "widgets/SingleInstance.h"
#include "widgets/TransferWait.h"

// The icons live in the program's resources, which a static library must
// register itself (outside any namespace).
static void InitResources() {
    Q_INIT_RESOURCE(tunrax);
}

namespace tunrax {

namespace {

// The album pages' width at the first start.
constexpr int kAlbumPagesWidth = 289;

// The main window is a dialog to the toolkit (it may run modally like every
// Tunrax window), but to a screen reader it is the program's frame.
QAccessibleInterface* MainWindowAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("tunrax::TMainWindow") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

}  // namespace

TMainWindow::TMainWindow(TIniFile& settings, std::unique_ptr<TAudioBackend> library,
                         std::unique_ptr<TMainDialogs> dialogs, QWidget* parent,
                         TPasswordStore* passwords)
    : TAppWindow(parent),
      // Held-back steps run from the event loop, their errors shown there.
      FSource([this](TSourceOwner::Step step) {
          QTimer::singleShot(0, this, [step = std::move(step)] { ShowErrorsOf(step); });
      }),
      FSettings(settings),
      FPasswords(passwords),
      FLibrary(std::move(library)),
      FDialogs(dialogs ? std::move(dialogs) : std::make_unique<TStandardDialogs>(passwords)),
      FCollator(std::make_unique<TNameCollator>()),
      FCatalogue(std::make_unique<TCatalogueSession>(*FCollator)) {
    InitResources();
    static const bool accessibleAsFrame = [] {
        QAccessible::installFactory(MainWindowAccessible);
        return true;
    }();
    Q_UNUSED(accessibleAsFrame);
    setWindowTitle(QStringLiteral("Tunrax"));
    // The playback timer restores this caption; it runs already while the
    // first-start wizard is open, before the full caption is made.
    FSavedCaption = windowTitle();
    setObjectName(QStringLiteral("fmMain"));
    // A normal top-level window with only a close box; it may be resized.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::CustomizeWindowHint);
    FPlaybackEvents = new TPlaybackEvents(this);
    FRemote = std::make_unique<TPlaybackRemote>(
        FSource, *FPlaybackEvents, [this] { ShowWindow(); },
        // After the caller's answer has gone out, as "&Beenden" does.
        [this] { QTimer::singleShot(0, FMenu->Quit(), &QAction::trigger); });

    FSingleInstance = new TSingleInstance(this);
    FSingleInstance->setObjectName(QStringLiteral("SingleInstance1"));
    FSingleInstance->TestOnlyDir = false;
    if (!FSingleInstance->Loaded()) {
        FSecondInstance = true;
        return;
    }
    FActions = new TMainActions(this);
    CreateControls();
    OnCreate();
    // The commands follow the window's state whenever the event queue has
    // drained, whatever changed it: a click, a key, a song's end, a timer.
    FIdle = new QTimer(this);
    FIdle->setSingleShot(true);
    FIdle->setInterval(0);
    connect(FIdle, &QTimer::timeout, this, Guarded(&TMainWindow::UpdateActions));
    // A long transfer leaves the menu bar, the progress bar and the ways
    // out of the program working.
    FTransferWait = new TTransferWaitWindow(this, {FMenu, FSongPanel->ProgressBar()},
                                            {FMenu->Quit(), FMenu->HideToTray()});
    FTransferWait->OnBusyEnd = [this] { ShowErrorsOf([this] { UpdateActions(); }); };
    qApp->installEventFilter(this);
    connect(this, &TAppWindow::AfterCreate, this, Guarded(&TMainWindow::OnAfterCreate));
}

TMainWindow::~TMainWindow() {
    OnDestroy();
    // The tree outlives the session that holds its folders.
    if (FAlbumPage)
        FAlbumPage->Model()->Follow(nullptr);
}

void TMainWindow::CreateControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    FMenu = new TMainMenu(this);
    layout->setMenuBar(FMenu);
    ConnectMenu();

    // Top bar: favourites chooser and tool bar.
    auto* topBar = new TFavoritesBar(*FActions, this);
    FFavoritesChooser = topBar->Chooser();
    layout->addWidget(topBar);

    // The album pages and the song column share the width as the user drags
    // the splitter between them.
    FSplitter = new QSplitter(Qt::Horizontal, this);
    FSplitter->setObjectName(QStringLiteral("spTeiler"));
    FSplitter->setChildrenCollapsible(false);
    layout->addWidget(FSplitter, 1);

    // Pages with their tabs on the left: "Alle" (album tree), "Favoriten".
    FPages = new TSidePages(*FCollator, FCatalogue.get(), FSplitter);
    FAlbumPage = FPages->AlbumPage();
    connect(FMenu->FindAlbum(), &QAction::triggered, FPages, &TSidePages::OpenSearch);
    FSplitter->addWidget(FPages);
    connect(FAlbumPage->Tree()->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] {
                if (FTreeChangeAttached)
                    ShowErrorsOf([this] { OnAlbumSelected(); });
            });

    auto* songColumn = new QWidget(FSplitter);
    songColumn->setObjectName(QStringLiteral("pnLieder"));
    FSongPanel = new TSongPanel(songColumn);
    songColumn->setLayout(FSongPanel);
    FSplitter->addWidget(songColumn);
    FSplitter->setStretchFactor(1, 1);
    FCatalogueLoader = std::make_unique<TCatalogueLoader>(
        FSource, FSettings, *FCatalogue, FSongPanel->ProgressBar(), FAlbumPage->Tree(), FPasswords);
    FCatalogueLoader->OnAway = [this](const std::string& line, const std::string& reason) {
        FAlbumPage->ShowAway(QString::fromStdString(line), QString::fromStdString(reason));
    };
    connect(FAlbumPage->RetryButton(), &QPushButton::clicked, this,
            Guarded(&TMainWindow::LoadSourceAgain));

    FPlayerBar = new TPlayerBar(*FRemote, this);
    layout->addWidget(FPlayerBar);
    FMenu->AddListMenu(FActions->MenuActions());
    FMenu->AddPlaybackMenu(FPlayerBar->MenuActions());

    ConnectPlayback();
    ConnectFavoriteCommands();

    resize(575, 377 + FMenu->Bar()->sizeHint().height() + FPlayerBar->sizeHint().height());
    setMinimumSize(575, 300);
    FSplitter->setSizes({kAlbumPagesWidth, width() - kAlbumPagesWidth});
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    RestorePlace();
}

void TMainWindow::RestorePlace() {
    const TWindowSettings stored = TWindowSettings::Read(FSettings);
    if (stored.PlaceKnown()) {
        const QRect place(stored.Left, stored.Top, stored.Width, stored.Height);
        // A place on a screen that is gone (a second monitor unplugged) is
        // not taken: the window would open where nobody sees it.
        const QList<QScreen*> screens = QGuiApplication::screens();
        const bool seen = std::any_of(screens.begin(), screens.end(), [&](QScreen* screen) {
            const QRect common = screen->availableGeometry().intersected(place);
            return common.width() >= 100 && common.height() >= 50;
        });
        if (seen)
            setGeometry(place);
        else
            resize(place.size().expandedTo(minimumSize()));
    }
    if (stored.Splitter.size() == 2)
        FSplitter->setSizes({stored.Splitter[0], stored.Splitter[1]});
    if (stored.Maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TMainWindow::RestoreAlbum() {
    const std::string path = TWindowSettings::Read(FSettings).Album;
    const int32_t node = NodeAtPath(FCatalogue->Catalogue(), path);
    if (node == TCatalogue::kNone || !FPages->AllShown())
        return;
    // Listed as the user left it, but not started: that is the user's to do.
    FAlbumPage->ChooseAtTop(node);
    FPlayback->WaitForChoice();
}

void TMainWindow::StorePlace() {
    TWindowSettings place = TWindowSettings::Read(FSettings);
    const QRect normal = isMaximized() ? normalGeometry() : geometry();
    place.Left = normal.left();
    place.Top = normal.top();
    place.Width = normal.width();
    place.Height = normal.height();
    place.Maximized = isMaximized();
    const QList<int> sides = FSplitter->sizes();
    place.Splitter.assign(sides.begin(), sides.end());
    if (FPlayback)
        place.Volume = static_cast<int32_t>(std::lround(FPlayback->Volume() * 100));
    place.Album = NodePath(FCatalogue->Catalogue(), SelectedNode());
    place.Write(FSettings);
}

void TMainWindow::ConnectMenu() {
    connect(FMenu->Reload(), &QAction::triggered, this, Guarded(&TMainWindow::ReloadCatalogue));
    connect(FMenu->Quit(), &QAction::triggered, this, Guarded(&TMainWindow::Quit));
    connect(FMenu->Settings(), &QAction::triggered, this, Guarded(&TMainWindow::OpenSettings));
    connect(FMenu->HideToTray(), &QAction::triggered, this, Guarded(&TMainWindow::HideToTray));
}

void TMainWindow::OnCreate() {
    CreatePlayer();
    GetUserDataFolder("tunRax", "quintor");
    for (QAction* action : findChildren<QAction*>())
        if (!action->text().isEmpty())
            action->setToolTip(action->text());
}

void TMainWindow::OnAfterCreate() {
    // Settings that cannot be read are not settings never made: the first
    // start's wizard would only offer to replace them.
    if (const std::string unreadable = FSettings.UnreadableMessage(); !unreadable.empty()) {
        QMessageBox::critical(this, QStringLiteral("Tunrax"),
                              QString::fromStdString(unreadable) +
                                  QStringLiteral("\n\nTunrax endet; bitte die Datei prüfen."));
        SessionEnd();
        return;
    }
    if (TSourceSettings::Read(FSettings).Type == -1) {
        // First start: without a source chosen in the wizard there is nothing
        // to play.
        FDialogs->ShowSetup(this, FSettings);
        if (TSourceSettings::Read(FSettings).Type == -1) {
            SessionEnd();
            return;
        }
    }
    FTrayIcon->ShowPlaying(false);
    FSavedCaption = StartCaption(windowTitle(), QString::fromUtf8(GetFileVersionString("")),
                                 QString::fromUtf8(kBuildDate));
    setWindowTitle(FSavedCaption);
    LoadCatalogue();
    if (!FSource) {
        SessionEnd();
        return;
    }
    FFavoriteCommands->FillChooser();
    RestoreAlbum();
}

void TMainWindow::HideToTray() {
    // Without a notification area the window must stay reachable: it goes
    // to the task bar instead.
    if (FTrayIcon->Show())
        hide();
    else
        showMinimized();
}

void TMainWindow::Quit() {
    // A transfer under way is called off, and the copy wizard, which uses the
    // source, closes first; the program ends once they have let go.
    CancelRunningTransfers();
    FSource.End([this] {
        FCloseConfirmed = true;
        close();
    });
}

void TMainWindow::SessionEnd() {
    Quit();
}

bool TMainWindow::eventFilter(QObject* watched, QEvent* event) {
    // The idle timer's own tick would arm it again for ever.
    if (watched != FIdle && !FDestroyed && !FIdle->isActive())
        FIdle->start();
    return TAppWindow::eventFilter(watched, event);
}

void TMainWindow::closeEvent(QCloseEvent* event) {
    if (!FCloseConfirmed) {
        event->ignore();
        HideToTray();
        return;
    }
    event->accept();
    OnDestroy();
    QCoreApplication::quit();
}

void TMainWindow::OpenSettings() {
    if (FDialogs->ShowSetup(this, FSettings) != 1)
        return;
    LoadSourceAgain();
}

void TMainWindow::LoadSourceAgain() {
    FSource.Replace([this] {
        // The songs listed came from the old source: on page "Alle" the list
        // follows the new tree, where no album is chosen yet.
        if (FPages->currentIndex() == 0) {
            FPlayback->ClearList();
            ShowSongs();
        }
        LoadCatalogue();
        if (FFavoriteCommands->ChooserFilled())
            FFavoriteCommands->ShowChosenList();
        else
            FFavoriteCommands->FillChooser();  // the start's load had failed
    });
}

void TMainWindow::ReloadCatalogue() {
    FSource.Replace([this] {
        if (FSource && FSource->Can(CanRebuild) && FSource->Can(CanStoreCatalogue)) {
            FTreeChangeAttached = false;
            const auto reattach = qScopeGuard([this] { FTreeChangeAttached = true; });
            FCatalogueLoader->Build(*FPlayback);
        } else {
            LoadCatalogue();
        }
        // After a failed start the chooser is filled by the first load that
        // works.
        if (!FFavoriteCommands->ChooserFilled() && FSource)
            FFavoriteCommands->FillChooser();
    });
}

void TMainWindow::OnDestroy() {
    if (FDestroyed || FSecondInstance)
        return;
    FDestroyed = true;
    FRemote->Attach(nullptr);
    FFavoriteCommands->Attach(nullptr);
    qApp->removeEventFilter(this);
    FIdle->stop();
    FPlaybackTimer->Halt();
    DeleteSongFile();
    if (FPlayback)
        FPlayback->CancelPrefetch();
    // The chooser's position is stored only once the chooser was filled, so
    // that an unfilled chooser never overwrites the stored list.
    try {
        if (FFavoriteCommands->ChooserFilled()) {
            FFavorites.Save();
            FSettings.WriteInteger("Favoriten", "aktuell", FFavoritesChooser->currentIndex());
        }
        // Settings that could not be read are never written (see OnAfterCreate).
        if (FSettings.UnreadableMessage().empty() && isVisible())
            StorePlace();
    } catch (const Error& error) {
        QMessageBox::critical(nullptr, QStringLiteral("Tunrax"), QString::fromUtf8(error.what()));
    }
    FFavorites.Forget();
    FSource.Set(nullptr);
    FPlayback.reset();  // releases the audio output
}

// --- the catalogue

void TMainWindow::LoadCatalogue() {
    FTreeChangeAttached = false;
    const auto reattach = qScopeGuard([this] { FTreeChangeAttached = true; });
    FCatalogueLoader->Load(*FPlayback);
}

// --- the pages and the list commands

void TMainWindow::ConnectFavoriteCommands() {
    FActions->AttachMenus(this, FSongPanel->List(), FAlbumPage->Tree());
    FFavoriteCommands = new TFavoriteCommands(
        {this, FActions, FFavoritesChooser, FPages, FSongPanel, &FFavorites, FCatalogue.get(),
         &FSource, FDialogs.get(), FCollator.get(), &FSettings},
        [this] { OnAlbumSelected(); });
    FPages->OnPageChosen = [this] { ShowErrorsOf([this] { OnPageChanged(); }); };
}

void TMainWindow::OnPageChanged() {
    if (FPages->AllShown())
        OnAlbumSelected();
    else
        FFavoriteCommands->ShowListSongs();
}

void TMainWindow::UpdateActions() {
    // While a long transfer runs only the ways out work; the commands are
    // brought up to date when it has ended.
    if (!FTransferWait || !FTransferWait->Busy()) {
        FFavoriteCommands->UpdateEnabled();
        FPlayerBar->UpdateEnabled();
    }
}

void TMainWindow::SetSource(std::unique_ptr<TSource> source) {
    FSource.Set(std::move(source));
}

}  // namespace tunrax
