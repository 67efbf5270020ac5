// The main window under a remote control: the desktop's media keys, its
// sound menu and commands such as playerctl act as the window's own controls
// do. Choosing another song moves the song list's selection, as the list
// does when a song ends, and the song starts through the playback timer.
#include <QLabel>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

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

void TfmMain::MediaPlay() {
    if (FPlayer && !FDestroyed)
        FSequencer->Play();
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
    if (FSequencer)
        FSequencer->Next();
}

void TfmMain::MediaPrevious() {
    if (FSequencer)
        FSequencer->Previous();
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
