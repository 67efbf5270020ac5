// The playing part of the main window: the song list, filled from the album
// chosen in the tree or from a favourite list; what the playback controller
// reports; what a tick of the playback clock and a click on the tray icon do.
#include <QAction>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTreeWidget>

#include "app/AlbumPage.h"
#include "app/FavoriteCommands.h"
#include "app/MainActions.h"
#include "app/MainWindow.h"
#include "app/PlaybackEvents.h"
#include "app/PlaybackTimer.h"
#include "app/PlayerTray.h"
#include "app/SongPanel.h"
#include "settings/DisplayText.h"
#include "settings/WindowSettings.h"
#include "widgets/TrayIcon.h"

namespace tunrax {

namespace {

QString DisplayName(const std::string& bytes) {
    return QString::fromStdString(DisplayText(bytes));
}

}  // namespace

void TMainWindow::ConnectPlayback() {
    // The selection, not the current item: a mouse press makes a row current
    // before it selects it, and Tab makes a row current without selecting it.
    connect(FSongPanel->List(), &QTreeWidget::itemSelectionChanged, this,
            Guarded(&TMainWindow::OnSongSelected));
    FPlaybackTimer = new TPlaybackTimer(
        this, [this] { OnPlaybackTick(); },
        // A transfer under way holds the playback as it holds the ticks.
        [this] { return FPlayback && !FDestroyed && !FSource.Busy(); });
    FTrayIcon = std::make_unique<TPlayerTray>(this);
    FTrayIcon->OnClick = [this](TMouseButton button) { OnTrayClicked(button); };
}

void TMainWindow::CreatePlayer() {
    FPlayback = std::make_unique<TPlaybackController>(
        std::move(FLibrary),
        [this](const std::function<void(TSource&)>& use) { return UseSource(use); },
        *FPlaybackTimer);
    TPlayer& player = FPlayback->Player();
    player.OnError = [this](const std::string& text, const std::string& title) {
        QMessageBox::critical(this, QString::fromStdString(title), QString::fromStdString(text));
    };
    player.Init();
    FPlayback->SetVolume(TWindowSettings::Read(FSettings).Volume / 100.0);
    FPlayback->AddListener(*FPlaybackEvents);
    FRemote->Attach(FPlayback.get());
    FFavoriteCommands->Attach(FPlayback.get());
    ConnectPlaybackEvents();
}

void TMainWindow::ConnectPlaybackEvents() {
    TPlaybackEvents* events = FPlaybackEvents;
    connect(events, &TPlaybackEvents::SongStarting, this, [this](const QString& caption) {
        setWindowTitle(FSavedCaption + QStringLiteral(" - ") + caption);
    });
    connect(events, &TPlaybackEvents::TrackChanged, this, &TMainWindow::ShowSongInfo);
    connect(events, &TPlaybackEvents::NoSong, this, [this] { setWindowTitle(FSavedCaption); });
    connect(events, &TPlaybackEvents::StatusChanged, this, [this](TPlaybackStatus status) {
        FTrayIcon->ShowPlaying(status == TPlaybackStatus::Playing);
    });
    connect(events, &TPlaybackEvents::ChoiceChanged, this, &TMainWindow::ShowChoice);
    connect(events, &TPlaybackEvents::AutoPlayChanged, this,
            [this](bool on) { FActions->NoAutoPlay()->setChecked(!on); });
}

bool TMainWindow::PlayIconOn() const {
    return FTrayIcon && FTrayIcon->PlayingShown();
}

void TMainWindow::OnTrayClicked(TMouseButton button) {
    switch (button) {
        case TMouseButton::mbLeft:
            switch (FPlayback->Player().State()) {
                case TStreamState::Playing: FRemote->MediaPause(); break;
                case TStreamState::Paused: FRemote->MediaPlay(); break;  // resumes the song paused
                default: ShowWindow(); break;
            }
            break;
        case TMouseButton::mbRight: ShowWindow(); break;
        case TMouseButton::mbMiddle: break;
    }
}

void TMainWindow::ShowWindow() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

const TSongList& TMainWindow::Songs() const {
    // A second instance and an ended program list nothing.
    static const TSongList none;
    return FPlayback ? FPlayback->Songs() : none;
}

int32_t TMainWindow::SelectedNode() const {
    return FAlbumPage->SelectedNode();
}

void TMainWindow::OnAlbumSelected() {
    QTreeWidget* list = FSongPanel->List();
    list->setUpdatesEnabled(false);
    const auto redraw = qScopeGuard([list] { list->setUpdatesEnabled(true); });
    FPlayback->ClearList();
    ShowSongs();
    const int32_t node = SelectedNode();
    if (node == TCatalogue::kNone || !FSource)
        return;
    TSourceLease source = FSource.Lease();
    TAlbumListing album = FCatalogue->ListAlbum(*source, node);
    FPlayback->ShowAlbum(album.Files, album.Folder);
    ShowSongs();
}

// The one way the playback reaches the source.
bool TMainWindow::UseSource(const std::function<void(TSource&)>& use) {
    // Once the program is to end no new song is fetched.
    if (!FSource || FSource.EndRequested())
        return false;
    TSourceLease source = FSource.Lease();
    use(*source);
    return true;
}

void TMainWindow::OnSongSelected() {
    if (FPlayback)
        FPlayback->ChooseSong(FSongPanel->SelectedRow());
}

void TMainWindow::ShowSongs() {
    FSongPanel->ShowSongs(Songs());
}

void TMainWindow::ShowChoice() {
    FSongPanel->ShowChoice(Songs().Selected());
}

void TMainWindow::OnPlaybackTick() {
    if (!FSource.Busy())
        FPlayback->Tick();
}

void TMainWindow::GiveTicksByHand() {
    FPlaybackTimer->GiveTicksByHand();
}

void TMainWindow::ShowSongInfo() {
    const TSongTags& tags = FPlayback->Track().Tags;
    FSongPanel->ShowTags(DisplayName(tags.Title), DisplayName(tags.Artist),
                         DisplayName(tags.Album));
    if (tags.Found)
        FTrayIcon->SetTip(
            QStringLiteral("%1 --> %2").arg(DisplayName(tags.Artist), DisplayName(tags.Title)));
    else
        FTrayIcon->SetTip(FSavedCaption);
}

}  // namespace tunrax
