#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/AlbumTree.h"
#include "app/CatalogueModel.h"
#include "app/QtProgress.h"
#include "app/SongListView.h"
#include "app/StartCaption.h"
#include "collection/Collation.h"
#include "io/Error.h"
#include "settings/IniFile.h"
#include "settings/ProgramVersion.h"
#include "settings/UserFolders.h"
#include "sources/Source.h"
#include "sources/SourceSettings.h"
#include "sources/TransferControl.h"
#include "tunrax_version.h"
#include "widgets/SingleInstance.h"
#include "widgets/TrayIcon.h"

// The icons live in the program's resources, which a static library must
// register itself (outside any namespace).
static void InitResources() {
    Q_INIT_RESOURCE(tunrax);
}

namespace tunrax {

namespace {

const char kSettings[] = "Einstellungen";

}  // namespace

TMainWindow::TMainWindow(TIniFile& settings, std::unique_ptr<TAudioBackend> library,
                         std::unique_ptr<TMainDialogs> dialogs, QWidget* parent)
    : TAppWindow(parent),
      // Held-back steps run from the event loop, their errors shown there.
      FSource([this](TSourceOwner::Step step) {
          QTimer::singleShot(0, this, [step = std::move(step)] { ShowErrorsOf(step); });
      }),
      FSettings(settings),
      FLibrary(std::move(library)),
      FDialogs(dialogs ? std::move(dialogs) : std::make_unique<TStandardDialogs>()),
      FCollator(std::make_unique<TNameCollator>()),
      FCatalogue(std::make_unique<TCatalogueSession>(*FCollator)) {
    InitResources();
    setWindowTitle(QStringLiteral("Tunrax"));
    // The playback timer restores this caption; it runs already while the
    // first-start wizard is open, before the full caption is made.
    FSavedCaption = windowTitle();
    setObjectName(QStringLiteral("fmMain"));
    // A normal top-level window with only a close box; it may be resized.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::CustomizeWindowHint);

    SingleInstance1 = new TSingleInstance(this);
    SingleInstance1->TestOnlyDir = false;
    if (!SingleInstance1->Loaded()) {
        FSecondInstance = true;
        return;
    }
    CreateActions();
    CreateControls();
    OnCreate();
    NameControls();
    // The commands follow the window's state whenever the event queue has
    // drained, whatever changed it: a click, a key, a song's end, a timer.
    FIdle = new QTimer(this);
    FIdle->setSingleShot(true);
    FIdle->setInterval(0);
    connect(FIdle, &QTimer::timeout, this, Guarded(&TMainWindow::UpdateActions));
    // A long transfer leaves the menu bar, the progress bar and the ways
    // out of the program working.
    FTransferWait = new TTransferWaitWindow(this, {MainMenu1->parentWidget(), pbStatus},
                                            {Beenden1, Minimieren1});
    FTransferWait->OnBusyEnd = [this] { ShowErrorsOf([this] { UpdateActions(); }); };
    qApp->installEventFilter(this);
    connect(this, &TAppWindow::AfterCreate, this, Guarded(&TMainWindow::OnAfterCreate));
}

TMainWindow::~TMainWindow() {
    OnDestroy();
    // The tree outlives the session that holds its folders.
    if (FAlben)
        FAlben->Follow(nullptr);
}

void TMainWindow::NameControls() {
    const std::pair<QObject*, const char*> controls[] = {{MainMenu1, "MainMenu1"},
                                                         {Suchen1, "Suchen1"},
                                                         {Aktualisieren1, "Aktualisieren1"},
                                                         {Beenden1, "Beenden1"},
                                                         {Einstellungen1, "Einstellungen1"},
                                                         {Minimieren1, "Minimieren1"},
                                                         {Panel1, "Panel1"},
                                                         {Label1, "Label1"},
                                                         {cbFavoriten, "cbFavoriten"},
                                                         {atMain, "atMain"},
                                                         {pcSeiten, "pcSeiten"},
                                                         {tsAlle, "tsAlle"},
                                                         {tsFavoriten, "tsFavoriten"},
                                                         {imFavoriten, "imFavoriten"},
                                                         {tvAlben, "tvAlben"},
                                                         {edSuchen, "edSuchen"},
                                                         {lvLieder, "lvLieder"},
                                                         {laTitel, "laTitel"},
                                                         {laInterpret, "laInterpret"},
                                                         {laAlbum, "laAlbum"},
                                                         {pbStatus, "pbStatus"},
                                                         {mmStart, "mmStart"},
                                                         {NBA, "NBA"},
                                                         {SingleInstance1, "SingleInstance1"},
                                                         {PopupMenu1, "PopupMenu1"},
                                                         {PopupMenu2, "PopupMenu2"}};
    for (const auto& [control, name] : controls)
        control->setObjectName(QString::fromLatin1(name));
}

void TMainWindow::CreateControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Menu bar: "&Datei" with its commands, two commands on the bar itself,
    // "Minimieren" at the bar's right end.
    MainMenu1 = new QMenuBar(this);
    QMenu* datei = MainMenu1->addMenu(QStringLiteral("&Datei"));
    Suchen1 = datei->addAction(QStringLiteral("Suchen"));
    Suchen1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    Aktualisieren1 = datei->addAction(QStringLiteral("Aktualisieren"));
    datei->addSeparator();
    Beenden1 = datei->addAction(QStringLiteral("&Beenden"));
    Einstellungen1 = MainMenu1->addAction(QStringLiteral("&Einstellungen"));
    // "Minimieren" lives in a bar of its own at the right end. Both bars sit
    // side by side in one row rather than one in the other's corner: a bar in
    // a corner is not on the accessibility bus, so a screen reader would
    // never reach the command.
    auto* menuRow = new QWidget(this);
    auto* menuRowLayout = new QHBoxLayout(menuRow);
    menuRowLayout->setContentsMargins(0, 0, 0, 0);
    menuRowLayout->setSpacing(0);
    auto* rightBar = new QMenuBar(menuRow);
    rightBar->setObjectName(QStringLiteral("MainMenu1Rechts"));
    Minimieren1 = rightBar->addAction(QStringLiteral("Minimieren"));
    MainMenu1->setParent(menuRow);
    menuRowLayout->addWidget(MainMenu1, 1);
    menuRowLayout->addWidget(rightBar, 0);
    layout->setMenuBar(menuRow);
    connect(Aktualisieren1, &QAction::triggered, this, Guarded(&TMainWindow::Aktualisieren1Click));
    connect(Beenden1, &QAction::triggered, this, Guarded(&TMainWindow::Beenden1Click));
    connect(Einstellungen1, &QAction::triggered, this, Guarded(&TMainWindow::Einstellungen1Click));
    connect(Minimieren1, &QAction::triggered, this, Guarded(&TMainWindow::Minimieren1Click));

    // Top bar: favourites chooser and tool bar.
    Panel1 = new QWidget(this);
    Panel1->setFixedHeight(28);
    auto* panelLayout = new QHBoxLayout(Panel1);
    panelLayout->setContentsMargins(4, 0, 4, 0);
    Label1 = new QLabel(QStringLiteral("Favoriten"), Panel1);
    cbFavoriten = new QComboBox(Panel1);
    cbFavoriten->setEditable(false);
    cbFavoriten->setMinimumWidth(160);
    atMain = new QToolBar(Panel1);
    atMain->setToolButtonStyle(Qt::ToolButtonIconOnly);
    atMain->setIconSize(QSize(16, 16));
    for (QAction* action :
         {acNeuListe, acDelListe, static_cast<QAction*>(nullptr), acAdd, acDel,
          static_cast<QAction*>(nullptr), acLiedFrueher, acLiedSpaeter,
          static_cast<QAction*>(nullptr), acNoPlay, static_cast<QAction*>(nullptr), acKopieren}) {
        if (action)
            atMain->addAction(action);
        else
            atMain->addSeparator();
    }
    panelLayout->addWidget(Label1);
    panelLayout->addWidget(cbFavoriten);
    panelLayout->addWidget(atMain);
    panelLayout->addStretch(1);
    layout->addWidget(Panel1);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(2);
    layout->addLayout(body, 1);

    // Pages with their tabs on the left: "Alle" (album tree), "Favoriten".
    pcSeiten = new QTabWidget(this);
    pcSeiten->setTabPosition(QTabWidget::West);
    pcSeiten->setFixedWidth(289);
    tsAlle = new QWidget(pcSeiten);
    auto* alleLayout = new QVBoxLayout(tsAlle);
    alleLayout->setContentsMargins(0, 0, 0, 0);
    auto* albumTree = new TAlbumTree(*FCollator, tsAlle);
    FAlben = albumTree->Model();
    FAlben->Follow(FCatalogue.get());
    tvAlben = albumTree;
    tvAlben->setHeaderHidden(true);
    tvAlben->setUniformRowHeights(true);
    tvAlben->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvAlben->setSelectionMode(QAbstractItemView::SingleSelection);
    tvAlben->setMouseTracking(true);  // hot tracking
    tvAlben->setContextMenuPolicy(Qt::CustomContextMenu);
    KeepSelectionVisible(tvAlben);
    edSuchen = new TAlbumSearch(albumTree, FAlben, *FCollator, tsAlle);
    alleLayout->addWidget(edSuchen);
    alleLayout->addWidget(tvAlben);
    // The search belongs to the page of the tree: leaving it ends the search,
    // so that the tree is whole when a command comes back to it.
    connect(pcSeiten, &QTabWidget::currentChanged, edSuchen, [this](int page) {
        if (page != 0)
            edSuchen->Close();
    });
    connect(Suchen1, &QAction::triggered, this, [this] {
        pcSeiten->setCurrentIndex(0);  // the tree's page, as a click on its tab
        edSuchen->Open();
    });
    tsFavoriten = new QWidget(pcSeiten);
    pcSeiten->addTab(tsAlle, QStringLiteral("Alle"));
    pcSeiten->addTab(tsFavoriten, QStringLiteral("Favoriten"));
    pcSeiten->setTabVisible(1, false);  // until a favourite list is chosen
    body->addWidget(pcSeiten);
    connect(tvAlben->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    tvAlben->expand(current);
                if (FTreeChangeAttached)
                    ShowErrorsOf([this] { tvAlbenChange(); });
            });

    auto* right = new QVBoxLayout;
    right->setSpacing(1);
    lvLieder = CreateSongListWidget(this);
    right->addWidget(lvLieder, 1);
    for (QLabel** label : {&laTitel, &laInterpret, &laAlbum}) {
        *label = new QLabel(this);
        (*label)->setAlignment(Qt::AlignCenter);
        (*label)->setTextFormat(Qt::PlainText);
        right->addWidget(*label);
    }
    pbStatus = new QProgressBar(this);
    pbStatus->setRange(0, 1000);
    pbStatus->setTextVisible(false);
    pbStatus->setFixedHeight(12);
    pbStatus->hide();
    // Keep the space of the bar so that the labels do not jump when it shows.
    QSizePolicy keep = pbStatus->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    pbStatus->setSizePolicy(keep);
    right->addWidget(pbStatus);
    body->addLayout(right, 1);
    FProgress = std::make_unique<TProgressBarDisplay>(pbStatus);

    ConnectPlayback();
    ConnectFavoriteCommands();

    resize(575, 377 + MainMenu1->sizeHint().height());
    setMinimumSize(575, 300);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
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
    if (FSettings.ReadInteger(kSettings, "Typ", -1) == -1) {
        // First start: without a source chosen in the wizard there is nothing
        // to play.
        FDialogs->ShowSetup(this, FSettings);
        if (FSettings.ReadInteger(kSettings, "Typ", -1) == -1) {
            SessionEnd();
            return;
        }
    }
    SetPlayIcon(false);
    FSavedCaption = StartCaption(windowTitle(), QString::fromUtf8(GetFileVersionString("")),
                                 QString::fromUtf8(kBuildDate));
    setWindowTitle(FSavedCaption);
    LoadCatalogue();
    if (!FSource) {
        SessionEnd();
        return;
    }
    FillFavoriteChooser();
}

void TMainWindow::Minimieren1Click() {
    // Without a notification area the window must stay reachable: it goes
    // to the task bar instead.
    if (NBA->Show())
        hide();
    else
        showMinimized();
}

void TMainWindow::Beenden1Click() {
    // A transfer under way is called off, and the copy wizard, which uses the
    // source, closes first; the program ends once they have let go.
    CancelRunningTransfers();
    FSource.End([this] {
        FCloseConfirmed = true;
        close();
    });
}

void TMainWindow::SessionEnd() {
    Beenden1Click();
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
        Minimieren1Click();
        return;
    }
    event->accept();
    OnDestroy();
    QCoreApplication::quit();
}

void TMainWindow::Einstellungen1Click() {
    if (FDialogs->ShowSetup(this, FSettings) != 1)
        return;
    FSource.Replace([this] {
        // The songs listed came from the old source: on page "Alle" the list
        // follows the new tree, where no album is chosen yet.
        if (pcSeiten->currentIndex() == 0) {
            FPlayback->ClearList();
            ShowSongs();
        }
        LoadCatalogue();
        if (FFavoriteChooserFilled)
            cbFavoritenChange();
        else
            FillFavoriteChooser();  // the start's load had failed
    });
}

void TMainWindow::Aktualisieren1Click() {
    FSource.Replace([this] {
        if (FSource && FSource->Can(CanRebuild) && FSource->Can(CanStoreCatalogue)) {
            FTreeChangeAttached = false;
            const auto reattach = qScopeGuard([this] { FTreeChangeAttached = true; });
            BuildCatalogue();
        } else {
            LoadCatalogue();
        }
        // After a failed start the chooser is filled by the first load that
        // works.
        if (!FFavoriteChooserFilled && FSource)
            FillFavoriteChooser();
    });
}

void TMainWindow::OnDestroy() {
    if (FDestroyed || FSecondInstance)
        return;
    FDestroyed = true;
    qApp->removeEventFilter(this);
    FIdle->stop();
    mmStart->stop();
    DeleteSongFile();
    if (FPlayback)
        FPlayback->CancelPrefetch();
    // The chooser's position is stored only once the chooser was filled, so
    // that an unfilled chooser never overwrites the stored list.
    if (FFavoriteChooserFilled) {
        try {
            FFavorites.Save();
            FSettings.WriteInteger("Favoriten", "aktuell", cbFavoriten->currentIndex());
        } catch (const Error& error) {
            QMessageBox::critical(nullptr, QStringLiteral("Tunrax"),
                                  QString::fromUtf8(error.what()));
        }
    }
    FFavorites.Forget();
    FSource.Set(nullptr);
    FPlayback.reset();  // releases the audio output
}

// --- the catalogue

void TMainWindow::LoadCatalogue() {
    FTreeChangeAttached = false;
    const auto reattach = qScopeGuard([this] { FTreeChangeAttached = true; });
    // The song fetched ahead came from the old source.
    FPlayback->CancelPrefetch();
    FSource.Set(nullptr);
    TSourceSettings chosen = TSourceSettings::Read(FSettings);
    if (chosen.Type == -1)
        chosen.Type = static_cast<int>(TSourceKind::Local);
    {
        // An FTP source asks its server what it may do before it is taken:
        // the end of the program waits for that as for any transfer.
        TSourceLease connecting = FSource.Lease();
        std::unique_ptr<TSource> made = CreateSource(chosen, FProgress.get());
        if (made)
            made->Connect();
        FSource.Set(std::move(made));
    }
    FCatalogue->Clear();
    // The songs listed from the old tree stay shown but no longer play.
    FPlayback->ForgetAlbum();
    if (!FSource || FSource.EndRequested())
        return;

    TSourceLease source = FSource.Lease();
    tvAlben->setUpdatesEnabled(false);
    const auto redraw = qScopeGuard([this] { tvAlben->setUpdatesEnabled(true); });
    if (!FCatalogue->Load(*source))
        BuildCatalogue();
}

void TMainWindow::BuildCatalogue() {
    TSourceLease source = FSource.Lease();
    tvAlben->setUpdatesEnabled(false);
    {
        const auto cleanUp = qScopeGuard([&] {
            // The songs listed from the old tree no longer play.
            FPlayback->ForgetAlbum();
            FProgress->Hide();
            tvAlben->setUpdatesEnabled(true);
        });
        FProgress->Show();
        FProgress->SetPosition(0);
        FCatalogue->Scan(*source, FProgress.get());
    }
    if (FSource.EndRequested())
        return;  // the program ends; the scan is not written back half-way
    FCatalogue->Store(*source);
}

void TMainWindow::SetSource(std::unique_ptr<TSource> source) {
    FSource.Set(std::move(source));
}

}  // namespace tunrax
