// The playing part of the main window: the song list, filled from the album
// chosen in the tree or from a favourite list; what the playback controller reports,
// shown in the caption, the labels, the song list's selection and the tray
// icon; the playback clock (mmStart); and the window under a remote control
// (the desktop's media keys, its sound menu, commands such as playerctl),
// which the controller carries out as it does the window's own controls.
#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include "app/CatalogueModel.h"
#include "app/MainWindow.h"
#include "app/PlaybackEvents.h"
#include "app/SongListView.h"
#include "settings/DisplayText.h"
#include "widgets/TrayIcon.h"

namespace tunrax {

namespace {

QString DisplayName(const std::string& bytes) {
    return QString::fromStdString(DisplayText(bytes));
}

// The playback clock's interval.
constexpr int kTickMs = 100;

}  // namespace

void TMainWindow::ConnectPlayback() {
    // The selection, not the current item: a mouse press makes a row current
    // before it selects it, and Tab makes a row current without selecting it.
    connect(lvLieder, &QTreeWidget::itemSelectionChanged, this,
            Guarded(&TMainWindow::lvLiederChange));
    mmStart = new QTimer(this);
    mmStart->setInterval(kTickMs);
    connect(mmStart, &QTimer::timeout, this, Guarded(&TMainWindow::mmStartTimer));
    FClockGrid.start();
    FIconOn = QIcon(QStringLiteral(":/CD_AN.svg"));
    FIconOff = QIcon(QStringLiteral(":/CD_AUS.svg"));
    NBA = new TTrayIcon(this, FIconOff);
    NBA->OnClick = [this](TTrayIcon*) { NBAClick(); };
    FPlaybackEvents = new TPlaybackEvents(this);
}

void TMainWindow::CreatePlayer() {
    FPlayback = std::make_unique<TPlaybackController>(
        std::move(FLibrary),
        [this](const std::function<void(TSource&)>& use) { return UseSource(use); },
        static_cast<TPlaybackClock&>(*this));
    TPlayer& player = FPlayback->Player();
    player.OnError = [this](const std::string& text, const std::string& title) {
        QMessageBox::critical(this, QString::fromStdString(title), QString::fromStdString(text));
    };
    player.Init();
    FPlayback->AddListener(*FPlaybackEvents);
    ConnectPlaybackEvents();
}

void TMainWindow::ConnectPlaybackEvents() {
    TPlaybackEvents* events = FPlaybackEvents;
    connect(events, &TPlaybackEvents::SongStarting, this, &TMainWindow::ShowSongStarting);
    connect(events, &TPlaybackEvents::TrackChanged, this, &TMainWindow::ShowSongInfo);
    connect(events, &TPlaybackEvents::NoSong, this, &TMainWindow::ShowNoSong);
    connect(events, &TPlaybackEvents::StatusChanged, this,
            [this](TPlaybackStatus status) { SetPlayIcon(status == TPlaybackStatus::Playing); });
    connect(events, &TPlaybackEvents::ChoiceChanged, this, &TMainWindow::ShowChoice);
    connect(events, &TPlaybackEvents::AutoPlayChanged, this,
            [this](bool on) { acNoPlay->setChecked(!on); });
}

void TMainWindow::SetPlayIcon(bool on) {
    // The tray is told only when the picture changes.
    if (FPlayIconSet && FPlayIconOn == on)
        return;
    FPlayIconSet = true;
    FPlayIconOn = on;
    NBA->SetIcon(on ? FIconOn : FIconOff);
}

void TMainWindow::NBAClick() {
    switch (NBA->MouseButton()) {
        case TMouseButton::mbLeft:
            switch (FPlayback->Player().State()) {
                case psPlaying: MediaPause(); break;
                case psPaused: MediaPlay(); break;  // resumes the song paused
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
    return FAlben->NodeOf(tvAlben->currentIndex());
}

void TMainWindow::tvAlbenChange() {
    lvLieder->setUpdatesEnabled(false);
    const auto redraw = qScopeGuard([this] { lvLieder->setUpdatesEnabled(true); });
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

void TMainWindow::lvLiederChange() {
    if (FPlayback)
        FPlayback->ChooseSong(SelectedRow(lvLieder));
}

void TMainWindow::ShowSongs() {
    const QSignalBlocker quiet(lvLieder);
    ShowSongList(Songs(), lvLieder);
    ShowChoice();
}

void TMainWindow::ShowChoice() {
    const int row = Songs().Selected();
    // A row only current (after Tab into the list) stays current.
    if (SelectedRow(lvLieder) == row)
        return;
    const QSignalBlocker quiet(lvLieder);
    QTreeWidgetItem* item = row >= 0 ? lvLieder->topLevelItem(row) : nullptr;
    if (!item) {
        lvLieder->clearSelection();
        lvLieder->setCurrentItem(nullptr);
        return;
    }
    lvLieder->setCurrentItem(item, 0, QItemSelectionModel::ClearAndSelect);
}

void TMainWindow::SelectSong(int row) {
    FPlayback->ChooseSong(row < Songs().Size() ? row : TSongList::kNoRow);
}

// --- the playback clock

void TMainWindow::mmStartTimer() {
    // The first tick after a start came at the next point of the grid; the
    // others follow at the full interval.
    if (mmStart->interval() != kTickMs)
        mmStart->setInterval(kTickMs);
    if (FSource.Busy())
        return;
    FPlayback->Tick();
}

void TMainWindow::GiveTicksByHand() {
    FTicksByHand = true;
    mmStart->stop();
}

void TMainWindow::Run(bool on) {
    if (!on)
        mmStart->stop();
    else if (!FTicksByHand && !FDestroyed && !mmStart->isActive())
        // A song chosen starts on the second tick, 100 to 200 ms later, as
        // with a clock that never stopped.
        mmStart->start(kTickMs - static_cast<int>(FClockGrid.elapsed() % kTickMs));
}

void TMainWindow::CallSoon(std::function<void()> call) {
    QTimer::singleShot(0, this, [this, call = std::move(call)] {
        // A transfer under way holds the playback as it holds the ticks.
        if (FPlayback && !FDestroyed && !FSource.Busy())
            ShowErrorsOf(call);
    });
}

// --- the remote control

TPlaybackStatus TMainWindow::MediaStatus() const {
    if (!FPlayback || FDestroyed)
        return TPlaybackStatus::Stopped;
    return FPlayback->Status();
}

TMediaTrack TMainWindow::MediaTrack() const {
    TMediaTrack track;
    if (!FPlayback)
        return track;
    const TTrack& playing = FPlayback->Track();
    track.Serial = playing.Serial;
    // A song without tags is known by its caption in the list.
    track.Title = DisplayName(playing.Tags.Title);
    if (track.Title.isEmpty())
        track.Title = DisplayName(playing.Caption);
    track.Artist = DisplayName(playing.Tags.Artist);
    track.Album = DisplayName(playing.Tags.Album);
    track.Length = playing.Length;
    return track;
}

bool TMainWindow::MediaCanGoNext() const {
    return FPlayback && FPlayback->CanGoNext();
}

bool TMainWindow::MediaCanGoPrevious() const {
    return FPlayback && FPlayback->CanGoPrevious();
}

bool TMainWindow::MediaCanPlay() const {
    return FSource && FPlayback && FPlayback->CanPlay();
}

int64_t TMainWindow::MediaPosition() {
    return FPlayback && !FDestroyed ? FPlayback->Position() : -1;
}

bool TMainWindow::MediaSeek(int64_t position) {
    return FPlayback && !FDestroyed && FPlayback->Seek(position);
}

double TMainWindow::MediaVolume() const {
    return FPlayback ? FPlayback->Volume() : 1.0;
}

void TMainWindow::MediaSetVolume(double volume) {
    if (FPlayback && !FDestroyed)
        FPlayback->SetVolume(volume);
}

void TMainWindow::MediaPlay() {
    if (FPlayback && !FDestroyed)
        FPlayback->Play();
}

void TMainWindow::MediaPause() {
    if (FPlayback && !FDestroyed)
        FPlayback->Pause();
}

void TMainWindow::MediaPlayPause() {
    if (FPlayback && !FDestroyed)
        FPlayback->PlayPause();
}

void TMainWindow::MediaStop() {
    if (FPlayback && !FDestroyed)
        FPlayback->Stop();
}

void TMainWindow::MediaNext() {
    if (FPlayback && !FDestroyed)
        FPlayback->Next();
}

void TMainWindow::MediaPrevious() {
    if (FPlayback && !FDestroyed)
        FPlayback->Previous();
}

void TMainWindow::MediaRaise() {
    ShowWindow();
}

void TMainWindow::MediaQuit() {
    // After the caller's answer has gone out, as "&Beenden" does.
    QTimer::singleShot(0, Beenden1, &QAction::trigger);
}

// --- what the playback controller reports

void TMainWindow::ShowSongStarting(const QString& caption) {
    setWindowTitle(FSavedCaption + QStringLiteral(" - ") + caption);
}

void TMainWindow::ShowNoSong() {
    setWindowTitle(FSavedCaption);
}

void TMainWindow::ShowSongInfo() {
    const TSongTags& tags = FPlayback->Track().Tags;
    laTitel->setText(DisplayName(tags.Title));
    laInterpret->setText(DisplayName(tags.Artist));
    laAlbum->setText(DisplayName(tags.Album));
    if (tags.Found)
        NBA->SetTip(QStringLiteral("%1 --> %2").arg(laInterpret->text(), laTitel->text()));
    else
        NBA->SetTip(FSavedCaption);
}

}  // namespace tunrax
