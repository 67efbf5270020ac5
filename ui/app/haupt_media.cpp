// The playing part of the main window: the song list's sequencer and what it
// shows, the play icon in the tray, and the window under a remote control
// (the desktop's media keys, its sound menu, commands such as playerctl),
// which acts as the window's own controls do. Choosing another song moves
// the song list's selection, as the list does when a song ends, and the song
// starts through the playback timer.
#include <QLabel>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include "app/SongListView.h"
#include "app/haupt.h"
#include "collection/catalogue.h"
#include "settings/vel_text.h"
#include "widgets/TrayIcon.h"

namespace tunrax {

namespace {

QString DisplayName(const std::string& bytes) {
    return QString::fromStdString(DisplayText(bytes));
}

}  // namespace

void TfmMain::ConnectPlayback() {
    // The selection, not the current item: a mouse press makes a row current
    // before it selects it, and Tab makes a row current without selecting it.
    connect(lvLieder, &QTreeWidget::itemSelectionChanged, this, Guarded(&TfmMain::lvLiederChange));
    // The song list knows the chosen row also when only the current row moves.
    connect(lvLieder, &QTreeWidget::currentItemChanged, this,
            [this] { FSongs.Select(SelectedRow(lvLieder)); });
    mmStart = new QTimer(this);
    mmStart->setInterval(100);
    connect(mmStart, &QTimer::timeout, this, Guarded(&TfmMain::mmStartTimer));
    FIconOn = QIcon(QStringLiteral(":/CD_AN.svg"));
    FIconOff = QIcon(QStringLiteral(":/CD_AUS.svg"));
    NBA = new TTrayIcon(this, FIconOff);
    NBA->OnClick = [this](TTrayIcon*) { NBAClick(); };
}

void TfmMain::CreatePlayer() {
    if (!FLibrary)
        FLibrary = CreateGStreamerLibrary();
    FPlayer = std::make_unique<TBassPlayer>(*FLibrary);
    FPlayer->OnError = [this](const std::string& text, const std::string& title) {
        QMessageBox::critical(this, QString::fromStdString(title), QString::fromStdString(text));
    };
    FPlayer->Init(reinterpret_cast<void*>(winId()));
    FSequencer = std::make_unique<TSongSequencer>(
        *FPlayer, FSongs, static_cast<TPlaybackView&>(*this),
        [this](const std::function<void(TCustomTransfer&)>& use) { return UseSource(use); });
}

void TfmMain::SetPlayIcon(bool on) {
    // A stopped list sets the same icon every tick; the tray is told only
    // when the picture changes.
    if (FPlayIconSet && FPlayIconOn == on)
        return;
    FPlayIconSet = true;
    FPlayIconOn = on;
    NBA->SetIcon(on ? FIconOn : FIconOff);
}

void TfmMain::NBAClick() {
    switch (NBA->MouseButton()) {
        case TMouseButton::mbLeft:
            switch (FPlayer->State()) {
                case psPlaying: MediaPause(); break;
                case psPaused: MediaPlay(); break;  // resumes
                default: ShowWindow(); break;
            }
            break;
        case TMouseButton::mbRight: ShowWindow(); break;
        case TMouseButton::mbMiddle: break;
    }
}

void TfmMain::lvLiederChange() {
    FSongs.Select(SelectedRow(lvLieder));
    if (FSequencer)
        FSequencer->SongChosen();
}

void TfmMain::ShowSongs() {
    ShowSongList(FSongs, lvLieder);
}

void TfmMain::SelectSong(int row) {
    QTreeWidgetItem* item = row >= 0 ? lvLieder->topLevelItem(row) : nullptr;
    if (!item) {
        lvLieder->clearSelection();
        lvLieder->setCurrentItem(nullptr);
        return;
    }
    // A row may be current without being selected (after Tab into the list):
    // it is selected explicitly, so that the change handler always runs.
    lvLieder->setCurrentItem(item);
    item->setSelected(true);
}

// --- the remote control

TMediaStatus TfmMain::MediaStatus() {
    if (!FPlayer || FDestroyed)
        return TMediaStatus::Stopped;
    switch (FSequencer->Status()) {
        case TPlaybackStatus::Playing: return TMediaStatus::Playing;
        case TPlaybackStatus::Paused: return TMediaStatus::Paused;
        case TPlaybackStatus::Stopped: break;
    }
    return TMediaStatus::Stopped;
}

TMediaTrack TfmMain::MediaTrack() const {
    TMediaTrack track;
    if (!FSequencer)
        return track;
    track.Serial = FSequencer->Serial();
    // A song without tags is known by its caption in the list.
    track.Title =
        laTitel->text().isEmpty() ? DisplayName(FSequencer->SongCaption()) : laTitel->text();
    track.Artist = laInterpret->text();
    track.Album = laAlbum->text();
    return track;
}

bool TfmMain::MediaCanGoNext() const {
    return FSequencer && FSequencer->CanGoNext();
}

bool TfmMain::MediaCanGoPrevious() const {
    return FSequencer && FSequencer->CanGoPrevious();
}

bool TfmMain::MediaCanPlay() const {
    return FSource && !FSongs.Empty();
}

int64_t TfmMain::MediaPosition() {
    return FPlayer && !FDestroyed ? FPlayer->Position() : -1;
}

int64_t TfmMain::MediaLength() {
    return FPlayer && !FDestroyed ? FPlayer->Length() : -1;
}

bool TfmMain::MediaSeek(int64_t position) {
    return FPlayer && !FDestroyed && FPlayer->Seek(position);
}

double TfmMain::MediaVolume() const {
    return FPlayer ? FPlayer->Volume / 100.0 : 1.0;
}

void TfmMain::MediaSetVolume(double volume) {
    if (FPlayer && !FDestroyed)
        FPlayer->SetVolume(static_cast<float>(volume * 100.0));
}

void TfmMain::MediaPlay() {
    if (FPlayer && !FDestroyed) {
        FSequencer->Play();
        StartChosenSoon();
    }
}

void TfmMain::MediaPause() {
    if (FPlayer && !FDestroyed)
        FSequencer->Pause();
}

void TfmMain::MediaPlayPause() {
    if (MediaStatus() == TMediaStatus::Playing)
        MediaPause();
    else
        MediaPlay();
}

void TfmMain::MediaStop() {
    if (FPlayer && !FDestroyed)
        FSequencer->Stop();
}

void TfmMain::MediaNext() {
    if (FSequencer) {
        FSequencer->Next();
        StartChosenSoon();
    }
}

void TfmMain::MediaPrevious() {
    if (FSequencer) {
        FSequencer->Previous();
        StartChosenSoon();
    }
}

void TfmMain::StartChosenSoon() {
    // A listener who presses a key wants to hear the song now, not after the
    // pause that lets a user pass over songs with the arrow keys. Posted, so
    // that the remote caller has its answer before the song is fetched.
    QTimer::singleShot(0, this, Guarded(&TfmMain::StartChosenNow));
}

void TfmMain::StartChosenNow() {
    if (FSequencer && !FDestroyed && !FSource.Busy())
        FSequencer->StartChosenNow();
}

void TfmMain::MediaRaise() {
    ShowWindow();
}

void TfmMain::MediaQuit() {
    // After the caller's answer has gone out.
    QTimer::singleShot(0, this, &TfmMain::SessionEnd);
}

// --- what the sequencer shows

bool TfmMain::ListShown() const {
    return SelectedNode() != TCatalogue::kNone || pcSeiten->currentIndex() == 1;
}

void TfmMain::ShowSongStarting(const std::string& caption) {
    setWindowTitle(FSavedCaption + QStringLiteral(" - ") + DisplayName(caption));
}

void TfmMain::ShowNoSong() {
    setWindowTitle(FSavedCaption);
}

void TfmMain::ShowSongInfo(const TSongTags& tags) {
    laTitel->setText(DisplayName(tags.Title));
    laInterpret->setText(DisplayName(tags.Artist));
    laAlbum->setText(DisplayName(tags.Album));
    if (tags.Found)
        NBA->SetTip(QStringLiteral("%1 --> %2").arg(laInterpret->text(), laTitel->text()));
    else
        NBA->SetTip(FSavedCaption);
}

}  // namespace tunrax
