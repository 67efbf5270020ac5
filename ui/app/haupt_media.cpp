// The main window under a remote control: the desktop's media keys, its
// sound menu and commands such as playerctl act as the window's own controls
// do. Choosing another song moves the song list's selection, as the list
// does when a song ends, and the song starts through the playback timer.
#include <QLabel>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include "collection/catalogue.h"
#include "app/haupt.h"

namespace tunrax {

TMediaStatus TfmMain::MediaStatus() {
    if (!FPlayer || FDestroyed)
        return TMediaStatus::Stopped;
    switch (FPlayer->State()) {
        case psPlaying:
        case psStalled: return TMediaStatus::Playing;
        case psPaused: return TMediaStatus::Paused;
        case psStopped: break;
    }
    // Between two songs of the list (the next one is being fetched) the list
    // still plays; the icon goes off only at the list's end or on a pause.
    return FPlayIconOn && !FMediaStopped ? TMediaStatus::Playing : TMediaStatus::Stopped;
}

TMediaTrack TfmMain::MediaTrack() const {
    TMediaTrack track;
    track.Serial = FSongSerial;
    // A song without tags is known by its caption in the list.
    track.Title = laTitel->text().isEmpty() ? FSongCaption : laTitel->text();
    track.Artist = laInterpret->text();
    track.Album = laAlbum->text();
    return track;
}

bool TfmMain::MediaCanGoNext() const {
    int index = SelectedSongIndex();
    return index >= 0 && index + 1 < lvLieder->topLevelItemCount();
}

bool TfmMain::MediaCanGoPrevious() const {
    return SelectedSongIndex() > 0;
}

bool TfmMain::MediaCanPlay() const {
    return FSource && lvLieder->topLevelItemCount() > 0;
}

void TfmMain::MediaPlay() {
    if (!FPlayer || FDestroyed)
        return;
    switch (FPlayer->State()) {
        case psPaused:
            FPlayer->Resume();
            SetPlayIcon(true);
            return;
        case psPlaying:
        case psStalled: return;
        case psStopped: break;
    }
    if (MediaStatus() == TMediaStatus::Playing)
        return;  // the next song of the list is on its way
    // From the start of the song chosen, else of the list shown.
    if (SelectedSongIndex() < 0) {
        if (lvLieder->topLevelItemCount() > 0)
            SelectSong(0);
        return;
    }
    FMediaStopped = false;
    FTickCount = 0;
}

void TfmMain::MediaPause() {
    if (FPlayer && !FDestroyed && FPlayer->State() == psPlaying) {
        FPlayer->Pause();
        SetPlayIcon(false);
    }
}

void TfmMain::MediaPlayPause() {
    if (MediaStatus() == TMediaStatus::Playing)
        MediaPause();
    else
        MediaPlay();
}

void TfmMain::MediaStop() {
    if (!FPlayer || FDestroyed || MediaStatus() == TMediaStatus::Stopped)
        return;
    FMediaStopped = true;
    FPlayer->Stop();
    setWindowTitle(FSavedCaption);
    SetPlayIcon(false);
}

void TfmMain::MediaNext() {
    if (MediaCanGoNext())
        SelectSong(SelectedSongIndex() + 1);
}

void TfmMain::MediaPrevious() {
    if (MediaCanGoPrevious())
        SelectSong(SelectedSongIndex() - 1);
}

void TfmMain::MediaRaise() {
    ShowWindow();
}

void TfmMain::MediaQuit() {
    // After the caller's answer has gone out.
    QTimer::singleShot(0, this, &TfmMain::SessionEnd);
}

}  // namespace tunrax
